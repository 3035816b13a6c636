#!/bin/sh
# Runs that replace the output while something else happens to it:
#   replace_runs.sh concurrent TRASOP MAKE_TERRAIN WORK
#     Two runs with different inputs and one output name, started together 20 times: both
#     succeed each time, and the output is one of the two whole results.
#   replace_runs.sh sigterm TRASOP MAKE_TERRAIN WORK
#     A run terminated while it writes: no temporary file is left, the older output unchanged.
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
sigterm)
  "$make_terrain" 3000 3000 10 >big.dmna
  echo "older output" >big_s.dmna
  cp big_s.dmna older.dmna
  "$trasop" big.dmna >/dev/null &
  run=$!
  # The temporary file appears once the grid is read; the signal then falls into the writing.
  tries=0
  while [ -z "$(leftovers)" ]; do
    kill -0 $run 2>/dev/null || fail "the run ended before its temporary file was seen"
    tries=$((tries + 1))
    [ $tries -lt 60000 ] || fail "no temporary file appeared"
    sleep 0.005
  done
  kill -TERM $run
  status=0
  wait $run || status=$?
  [ $status -eq 143 ] || fail "exit status $status, expected 143 (terminated by SIGTERM)"
  [ -z "$(leftovers)" ] || fail "left behind: $(leftovers)"
  cmp -s big_s.dmna older.dmna || fail "the older output was changed"
  ;;
*)
  fail "unknown case $what"
  ;;
esac
echo "passed: $what"
