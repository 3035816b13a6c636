#!/bin/sh
# An existing output replaced by an ordinary user, row by row, against what a program that
# simply opens the output name for writing leaves: the same exit status, and the same file
# (content, links, owner, group, mode, access list, attributes, kind).
#   output_rows.sh TRASOP INPUT
# Run as root, it makes a runner, a colleague and a group of the two for the rows, and removes
# them at the end; run as anyone else, it runs the rows as that user, and skips the rows that
# need the others. A row the machine cannot give is reported as skipped, with its reason.
set -eu
scratch=$(mktemp -d /tmp/trasop-rows.XXXXXX)
chmod 755 "$scratch"
cp "$1" "$scratch/trasop"
cp "$2" "$scratch/g.dmna"
chmod 755 "$scratch/trasop"
chmod 644 "$scratch/g.dmna"
cd "$scratch"
./trasop g.dmna >/dev/null
mv g_s.dmna expected.dmna

root=false colleague="" team=""
if [ "$(id -u)" = 0 ]; then
  root=true
  runner=trasop$$r colleague=trasop$$c team=trasop$$t
  cleanup() {
    cd /
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

echo "passed"
