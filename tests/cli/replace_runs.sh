#!/bin/sh
# Runs that replace the output while something else happens to it:
#   replace_runs.sh concurrent TRASOP MAKE_TERRAIN WORK
#     Two runs with different inputs and one output name, started together 20 times: both
#     succeed each time, and the output is one of the two whole results.
#   replace_runs.sh signals TRASOP MAKE_TERRAIN WORK
#     Runs ended by a signal while they write: two SIGTERMs back to back (as timeout sends
#     them) in 30 runs, then every other signal that ends a program and may be caught, once each,
#     the real-time ones included. Each run ends as that signal ends a program, no temporary file
#     is left, the older output is unchanged.
set -eu
what=$1 trasop=$2 make_terrain=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

leftovers() {
  ls -a | grep '\.tmp$' || true
}

case $what in
concurrent)
  # "g.dmna" and "g" both write g_s.dmna.
  "$make_terrain" 400 300 10 >g.dmna
  "$make_terrain" 400 300 25 >g
  "$trasop" g.dmna >/dev/null && mv g_s.dmna first.dmna
  "$trasop" g >/dev/null && mv g_s.dmna second.dmna
  cmp -s first.dmna second.dmna && fail "the two inputs give the same result"
  for round in $(seq 20); do
    "$trasop" g.dmna >/dev/null &
    a=$!
    "$trasop" g >/dev/null &
    b=$!
    wait $a || fail "round $round: the first run exited with $?"
    wait $b || fail "round $round: the second run exited with $?"
    cmp -s g_s.dmna first.dmna || cmp -s g_s.dmna second.dmna ||
      fail "round $round: g_s.dmna is neither whole result"
    [ -z "$(leftovers)" ] || fail "round $round: left behind: $(leftovers)"
  done
  ;;
signals)
  ulimit -c 0
  "$make_terrain" 2000 2000 10 >big.dmna
  "$trasop" big.dmna >/dev/null && mv big_s.dmna whole.dmna
  echo "older output" >big_s.dmna
  cp big_s.dmna older.dmna
  # A checker's own handlers (the sanitizer build's) would report these signals as faults.
  export ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0
  export UBSAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0
  # Linux's numbers (the same on x86 and arm64): the ending signals but SIGTERM, then the
  # real-time ones a program may use (32 and 33 belong to the C library's threads).
  cases=TERM:15:30
  for number in 1 2 3 4 5 6 7 8 10 11 12 13 14 16 24 25 26 27 29 30 31 $(seq 34 64); do
    cases="$cases $number:$number:1"
  done
  # NAME:NUMBER:ROUNDS. The run is stopped once its temporary file is there (seen again after
  # the stop, so that it cannot have been renamed in between), continued, and then signalled
  # at once; a run that finished before its file was caught, or that had its output in place
  # when the signal came, is tried again.
  for case in $cases; do
    name=${case%%:*} rest=${case#*:}
    number=${rest%%:*} rounds=${rest#*:}
    round=0 tries=0
    while [ $round -lt "$rounds" ]; do
      tries=$((tries + 1))
      [ $tries -le $((rounds * 10)) ] || fail "$name: the temporary file was caught in $round of $tries runs"
      # A shell starts background commands with SIGINT and SIGQUIT ignored; env gives the run
      # every signal's default action back, as at a terminal.
      env --default-signal "$trasop" big.dmna >/dev/null &
      run=$!
      while [ -z "$(leftovers)" ] && kill -0 $run 2>/dev/null; do sleep 0.002; done
      kill -STOP $run 2>/dev/null || true
      if [ -z "$(leftovers)" ]; then
        kill -CONT $run 2>/dev/null || true
        wait $run || true
        cp older.dmna big_s.dmna
        continue
      fi
      kill -CONT $run
      kill -"$name" $run 2>/dev/null || true
      [ "$name" != TERM ] || kill -TERM $run 2>/dev/null || true
      status=0
      wait $run || status=$?
      [ -z "$(leftovers)" ] || fail "$name, round $round: left behind: $(leftovers)"
      if ! cmp -s big_s.dmna older.dmna; then
        # The output was renamed into place (which holds signals back) before the signal came:
        # a whole result, and the round is tried again.
        cmp -s big_s.dmna whole.dmna || fail "$name: the older output was changed"
        [ $status -eq 0 ] || [ $status -eq $((128 + number)) ] ||
          fail "$name: exit status $status after a whole result"
        cp older.dmna big_s.dmna
        continue
      fi
      [ $status -eq $((128 + number)) ] ||
        fail "$name: exit status $status, expected $((128 + number))"
      round=$((round + 1))
    done
    echo "$name: $rounds run(s) ended by the signal, in $tries tries"
  done
  ;;
*)
  fail "unknown case $what"
  ;;
esac
echo "passed: $what"
