#!/bin/sh
# An existing output replaced by an ordinary user, row by row, against what a program that
# simply opens the output name for writing leaves: the same exit status, and the same file
# (content, links, owner, group, mode, access list, attributes, flags, kind), and nothing left.
#   output_rows.sh TRASOP INPUT MAKE_TERRAIN WATCH_OPENS
# Run as root, it makes a runner, a colleague and a group of the two for the rows, and removes
# them at the end; run as anyone else, it runs the rows as that user, and skips the rows that
# need the others. A row the machine cannot give is reported as skipped, with its reason.
set -eu
scratch=$(mktemp -d /tmp/trasop-rows.XXXXXX)
chmod 755 "$scratch"
cp "$1" "$scratch/trasop"
cp "$2" "$scratch/g.dmna"
cp "$4" "$scratch/watch_opens"
chmod 755 "$scratch/trasop" "$scratch/watch_opens"
cd "$scratch"
# A grid whose output takes a while to write, for the rows that act while it is written.
"$3" 1000 1000 10 >big.dmna
chmod 644 g.dmna big.dmna
./trasop g.dmna >/dev/null
mv g_s.dmna expected.dmna
./trasop big.dmna >/dev/null
mv big_s.dmna expected_big.dmna

root=false colleague="" team=""
if [ "$(id -u)" = 0 ]; then
  root=true
  runner=trasop$$r colleague=trasop$$c team=trasop$$t
  cleanup() {
    cd /
    chattr -R -a "$scratch" 2>/dev/null || true
    rm -rf "$scratch"
    userdel "$runner" 2>/dev/null || true
    userdel "$colleague" 2>/dev/null || true
    groupdel "$team" 2>/dev/null || true
  }
  trap cleanup EXIT
  groupadd "$team"
  useradd -M -G "$team" "$runner"
  useradd -M -G "$team" "$colleague"
  as() { user=$1; shift; setpriv --reuid="$user" --regid="$user" --init-groups "$@"; }
else
  runner=$(id -un)
  trap 'cd / && chmod -R u+w "$scratch" && rm -rf "$scratch"' EXIT
  as() { shift; "$@"; }
fi
# The runner's run of the big grid in the row's folder, named through the folder, in the
# background, stopped once its temporary file is there; $run is its process. Fails (status 1)
# where the run ended first.
start_stopped() {
  if $root; then
    (exec setpriv --reuid="$runner" --regid="$runner" --init-groups \
      ./trasop "row$row/big.dmna" >/dev/null) &
  else
    (exec ./trasop "row$row/big.dmna" >/dev/null) &
  fi
  run=$!
  while [ -z "$(ls -a "row$row" | grep '\.tmp$' || true)" ] && kill -0 $run 2>/dev/null; do
    sleep 0.002
  done
  kill -STOP $run 2>/dev/null || true
  [ -n "$(ls -a "row$row" | grep '\.tmp$' || true)" ] && return 0
  kill -CONT $run 2>/dev/null || true
  wait $run || true
  return 1
}

fail() {
  echo "FAILED: row $row: $*" >&2
  exit 1
}
skip() { echo "row $row: skipped: $*"; }

# A fresh folder for the row, with the input in it, the runner's.
fresh() {
  row=$1
  rm -rf "row$row"
  mkdir "row$row"
  cp g.dmna "row$row/"
  if $root; then chown "$runner:" "row$row" "row$row/g.dmna"; fi
}

# Writes "older" to FILE as USER, with MODE.
older() {
  as "$1" sh -c "echo older >'$2' && chmod $3 '$2'"
}

# The run as the runner (or as root) in the row's folder: its exit status must be WANT.
run() {
  want=$1 user=${2:-$runner}
  status=0
  (cd "row$row" && as "$user" ../trasop "${3:-g.dmna}" >/dev/null 2>&1) || status=$?
  [ "$status" = "$want" ] || fail "exit status $status, expected $want"
  [ -z "$(ls -a "row$row" | grep '\.tmp$' || true)" ] || fail "a temporary file is left"
}

same() { cmp -s "$1" "$2" || fail "$1 differs from $2"; }
shows() { [ "$(stat -c "$2" "$1")" = "$3" ] || fail "$1: $2 is $(stat -c "$2" "$1"), not $3"; }

# 1: a write-protected output is not replaced.
fresh 1
older "$runner" row1/g_s.dmna 444
run 4
same row1/g_s.dmna - <<END
older
END
if [ -n "$colleague" ]; then
  chown root row1
  chmod 1777 row1
  rm -f row1/g_s.dmna
  older "$colleague" row1/g_s.dmna 444
  run 4
  shows row1/g_s.dmna %U "$colleague"
fi
echo "row 1: 4, the older output kept"

# 3: a second hard link shows the result too.
fresh 3
older "$runner" row3/g_s.dmna 644
ln row3/g_s.dmna row3/twin
run 0
same row3/twin expected.dmna
shows row3/g_s.dmna %h 2
echo "row 3: 0, both names show the result"

# 4: a colleague's output in a shared setgid folder, and in a sticky one.
if [ -n "$colleague" ]; then
  for mode in 2775 3775; do
    fresh 4
    chown "root:$team" row4
    chmod "$mode" row4
    older "$colleague" row4/g_s.dmna 664
    chgrp "$team" row4/g_s.dmna
    run 0
    same row4/g_s.dmna expected.dmna
    shows row4/g_s.dmna "%U %G %a" "$colleague $team 664"
  done
  echo "row 4: 0, owner, group and mode kept, setgid and sticky folder"
else
  row=4 skip "needs a colleague (run as root)"
fi

# 5: the output's group is one of the runner's secondary groups.
if [ -n "$team" ]; then
  fresh 5
  older "$runner" row5/g_s.dmna 660
  chgrp "$team" row5/g_s.dmna
  run 0
  same row5/g_s.dmna expected.dmna
  shows row5/g_s.dmna "%G %a" "$team 660"
  echo "row 5: 0, group kept"
else
  row=5 skip "needs a secondary group (run as root)"
fi

# 6: an access list and a user attribute.
fresh 6
older "$runner" row6/g_s.dmna 640
if ! command -v setfacl >/dev/null || ! command -v setfattr >/dev/null; then
  skip "setfacl and setfattr are not installed (packages acl and attr)"
elif ! as "$runner" setfacl -m u:nobody:--- row6/g_s.dmna 2>/dev/null ||
  ! as "$runner" setfattr -n user.note -v kept row6/g_s.dmna 2>/dev/null; then
  skip "$scratch does not hold access lists and user attributes"
else
  run 0
  same row6/g_s.dmna expected.dmna
  getfacl -p row6/g_s.dmna 2>/dev/null | grep -qx 'user:nobody:---' || fail "the access list is gone"
  [ "$(getfattr --only-values -n user.note row6/g_s.dmna 2>/dev/null)" = kept ] ||
    fail "the attribute is gone"
  echo "row 6: 0, access list and attribute kept"
fi

# 7: the folder is not writable, the output is.
fresh 7
older "$runner" row7/g_s.dmna 644
chmod 555 row7
run 0
same row7/g_s.dmna expected.dmna
echo "row 7: 0, rewritten in place"

# 8: a FIFO with a reader waiting.
fresh 8
as "$runner" mkfifo -m 666 row8/g_s.dmna
cat row8/g_s.dmna >row8.got &
reader=$!
run 0
wait $reader
same row8.got expected.dmna
[ -p row8/g_s.dmna ] || fail "the FIFO is gone"
echo "row 8: 0, the reader got the result"

# 9: a link to /dev/null as the runner; as root, a link to a scratch node of that device only.
fresh 9
as "$runner" ln -s /dev/null row9/g_s.dmna
if [ "$runner" != root ]; then
  run 0
  [ -c /dev/null ] || fail "/dev/null is no longer a device"
fi
if $root; then
  rm row9/g_s.dmna
  # (A folder on a file system mounted nodev holds such a node, but it cannot be opened.)
  if mknod -m 666 row9/null c 1 3 2>/dev/null && (: >row9/null) 2>/dev/null; then
    ln -s null row9/g_s.dmna
    run 0 root
    [ -c row9/null ] || fail "the device node was replaced"
  else
    skip "no device node can be made and opened in $scratch"
  fi
fi
echo "row 9: 0, written to the device, which stays a device"

# 10: a colleague's link in a sticky world-writable folder, where the system protects such links.
if [ -n "$colleague" ] && [ "$(cat /proc/sys/fs/protected_symlinks 2>/dev/null)" = 1 ]; then
  fresh 10
  chown root row10
  chmod 1777 row10
  mkdir row10-own
  chown "$runner:" row10-own
  older "$runner" row10-own/mine 644
  as "$colleague" ln -s "$scratch/row10-own/mine" row10/g_s.dmna
  run 4
  same row10-own/mine - <<END
older
END
  echo "row 10: 4, the linked file untouched"
else
  row=10 skip "needs a colleague and fs.protected_symlinks=1, which this machine does not have"
fi

# 11: an output whose last name part has 250 characters.
fresh 11
long=$(printf '%0243d' 0)
cp g.dmna "row11/$long.dmna"
if $root; then chown "$runner:" "row11/$long.dmna"; fi
run 0 "$runner" "$long.dmna"
same "row11/${long}_s.dmna" expected.dmna
echo "row 11: 0"

# 12: a colleague's 0666 file and FIFO in a sticky world-writable folder: what the system lets
# a plain writer do (the shell's '>', which opens with O_CREAT), the run does, no more.
if [ -n "$colleague" ]; then
  for kind in file fifo; do
    for who in plain tool; do
      fresh 12
      chown root row12
      chmod 1777 row12
      if [ $kind = file ]; then
        older "$colleague" row12/g_s.dmna 666
      else
        as "$colleague" mkfifo -m 666 row12/g_s.dmna
        timeout 20 cat row12/g_s.dmna >row12.got &
        reader=$!
      fi
      if [ $who = plain ]; then
        plain=0
        (cd row12 && as "$runner" sh -c 'cat ../expected.dmna >g_s.dmna') 2>/dev/null || plain=$?
      else
        run "$([ "$plain" = 0 ] && echo 0 || echo 4)"
      fi
      if [ $kind = fifo ]; then
        [ "$plain" = 0 ] || kill $reader 2>/dev/null || true
        wait $reader 2>/dev/null || true
        got=$(cat row12.got)
      else
        got=$(cat row12/g_s.dmna)
      fi
      if [ "$plain" = 0 ]; then
        [ "$got" = "$(cat expected.dmna)" ] || fail "$kind ($who): not the result"
      else
        [ "$got" = "$([ $kind = file ] && echo older)" ] || fail "$kind ($who): written into"
      fi
    done
    sysctl=regular && [ $kind = fifo ] && sysctl=fifos
    if [ "$plain" = 0 ]; then
      # Not judged by the system here: the open that would be judged is shown instead.
      fresh 12
      older "$runner" row12/g_s.dmna 644
      if command -v strace >/dev/null &&
        (cd row12 && as "$runner" strace -f -e trace=openat -o trace ../trasop g.dmna \
          >/dev/null 2>&1); then
        grep -q 'openat(AT_FDCWD, "g_s.dmna", O_WRONLY|O_CREAT|O_NOCTTY|O_CLOEXEC, 0666)' \
          row12/trace || fail "the output is not opened with O_CREAT"
        echo "row 12: $kind: 0 as for the plain writer; not judged by the system" \
          "(fs.protected_$sysctl=$(cat /proc/sys/fs/protected_$sysctl)), the open carries O_CREAT"
      else
        row=12 skip "$kind: not judged by the system, and strace cannot show the open"
      fi
    else
      echo "row 12: $kind: 4 as for the plain writer, nothing written into it"
    fi
  done
else
  row=12 skip "needs a colleague (run as root)"
fi

# 13: a colleague watching the folder opens every new file at once: never one of the run's,
# for a 0600 output, and for a 0644 output in a setgid team folder with umask 002.
if [ -n "$colleague" ]; then
  for case in 0600:022 0644:002; do
    mode=${case%:*} mask=${case#*:}
    fresh 13
    cp big.dmna row13/g.dmna
    chown "$runner:$team" row13 row13/g.dmna
    chmod 2775 row13
    older "$runner" row13/g_s.dmna "$mode"
    mkdir -p watch && chmod 777 watch && rm -f watch/ready
    (exec setpriv --reuid="$colleague" --regid="$colleague" --init-groups \
      ./watch_opens row13 watch/ready) >row13.opens &
    watcher=$!
    while [ ! -e watch/ready ]; do sleep 0.01; done
    for round in $(seq 30); do
      (cd row13 && umask "$mask" && as "$runner" ../trasop g.dmna >/dev/null) ||
        fail "round $round: the run failed"
    done
    kill -TERM $watcher
    wait $watcher || fail "the colleague opened the run's file: $(cat row13.opens)"
    same row13/g_s.dmna expected_big.dmna
    shows row13/g_s.dmna "%U %a" "$runner ${mode#0}"
  done
  echo "row 13: 30 runs each, the colleague never had a descriptor on a new output"
else
  row=13 skip "needs a colleague (run as root)"
fi

# 14: a folder that only allows names to be added: an existing output and a new one, written
# as by any program, nothing left behind (which such a folder could not remove).
fresh 14
older "$runner" row14/g_s.dmna 644
cp g.dmna row14/h.dmna
if $root; then chown "$runner:" row14/h.dmna; fi
if ! chattr +a row14 2>/dev/null; then
  skip "the append-only flag cannot be set here (needs root and a file system with flags)"
else
  run 0
  same row14/g_s.dmna expected.dmna
  run 0 "$runner" h.dmna
  same row14/h_s.dmna expected.dmna
  chattr -a row14
  echo "row 14: 0, both written into place"
fi

# 15: inode flags that the owner may set (no dump, no access time) stay with the output.
fresh 15
older "$runner" row15/g_s.dmna 644
if ! as "$runner" chattr +dA row15/g_s.dmna 2>/dev/null; then
  skip "the file system here has no inode flags"
else
  run 0
  same row15/g_s.dmna expected.dmna
  case $(lsattr row15/g_s.dmna | cut -d' ' -f1) in
  *d*A* | *A*d*) echo "row 15: 0, the flags kept" ;;
  *) fail "the flags are gone: $(lsattr row15/g_s.dmna)" ;;
  esac
fi

# 16: the output is a single file mounted over its name (as a container's volume): the file
# mounted there gets the result.
fresh 16
older "$runner" row16/g_s.dmna 644
older "$runner" row16/volume 644
if ! $root || ! unshare -m --propagation private true 2>/dev/null; then
  skip "no private mount namespace here (needs root and unshare)"
else
  status=0
  unshare -m --propagation private sh -c "mount --bind row16/volume row16/g_s.dmna &&
    cd row16 && setpriv --reuid=$runner --regid=$runner --init-groups ../trasop g.dmna" \
    >/dev/null 2>&1 || status=$?
  [ $status = 0 ] || fail "exit status $status, expected 0"
  same row16/volume expected.dmna
  [ -z "$(ls -a row16 | grep '\.tmp$' || true)" ] || fail "a temporary file is left"
  echo "row 16: 0, the mounted file got the result"
fi

# 17: the folder is renamed while the run writes: the result lands in it under its new name.
fresh 17
cp big.dmna row17/
if $root; then chown "$runner:" row17/big.dmna; fi
tries=0
until start_stopped; do
  tries=$((tries + 1))
  [ $tries -lt 10 ] || fail "the temporary file was never caught"
done
mv row17 row17-renamed
mkdir row17
kill -CONT $run
status=0
wait $run || status=$?
[ $status = 0 ] || fail "exit status $status, expected 0"
same row17-renamed/big_s.dmna expected_big.dmna
[ -z "$(ls -a row17-renamed row17 | grep '\.tmp$' || true)" ] || fail "a temporary file is left"
echo "row 17: 0, the result in the renamed folder"

# 18: a second link to the output made while the run writes: judged again before the rename,
# the output is written in place, and both names show the result.
fresh 18
cp big.dmna row18/
older "$runner" row18/big_s.dmna 644
if $root; then chown "$runner:" row18/big.dmna; fi
tries=0
until start_stopped; do
  tries=$((tries + 1))
  [ $tries -lt 10 ] || fail "the temporary file was never caught"
done
as "$runner" ln row18/big_s.dmna row18/twin
kill -CONT $run
status=0
wait $run || status=$?
[ $status = 0 ] || fail "exit status $status, expected 0"
same row18/twin expected_big.dmna
shows row18/big_s.dmna %h 2
[ -z "$(ls -a row18 | grep '\.tmp$' || true)" ] || fail "a temporary file is left"
echo "row 18: 0, both names show the result"

# 19: a new output in a folder with a default access list gets what a new file gets there: the
# list's permissions, the umask not applying; a named user keeps write access.
fresh 19
if ! command -v setfacl >/dev/null || ! command -v getfacl >/dev/null; then
  skip "setfacl is not installed (package acl)"
elif ! as "$runner" setfacl -d -m u::rwx,g::rwx,o::r-x,u:nobody:rwx row19 2>/dev/null; then
  skip "$scratch does not hold access lists"
else
  status=0
  (cd row19 && as "$runner" sh -c 'umask 022 && : >plain && ../trasop g.dmna' >/dev/null 2>&1) ||
    status=$?
  [ "$status" = 0 ] || fail "exit status $status, expected 0"
  same row19/g_s.dmna expected.dmna
  [ "$(getfacl -cp row19/g_s.dmna)" = "$(getfacl -cp row19/plain)" ] ||
    fail "access list $(getfacl -cp row19/g_s.dmna | tr '\n' ' ') is not the plain writer's"
  shows row19/g_s.dmna %a "$(stat -c %a row19/plain)"
  echo "row 19: 0, the access list a new file gets there"
fi

echo "passed"
