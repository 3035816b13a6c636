#!/usr/bin/env bash
# Builds trasop and runs every test: in the release build, in a debug build under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the command-line tests once more with
# the tool under valgrind's memcheck. The last line sums up the three runs, or names the one
# that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh gtest valgrind acl map
jobs="$(nproc)"
mkdir -p build
passed=()
for run in release:release dev:sanitizers memcheck:memcheck; do
  preset=${run%%:*} name=${run#*:}
  log=build/test-${preset}.log
  echo "== ${name} run (preset ${preset})"
  if ! {
    cmake --preset "${preset}" >/dev/null &&
      cmake --build --preset "${preset}" -j "${jobs}" &&
      ctest --preset "${preset}" -j "${jobs}"
  } 2>&1 | tee "$log"; then
    echo "test.sh: the ${name} run FAILED${passed[*]:+ (passed before it: ${passed[*]})}; its output is in ${log}"
    exit 1
  fi
  passed+=("${name} $(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -n 1)")
done
summary=$(printf '%s, ' "${passed[@]}")
echo "test.sh: ${summary%, }: all passed"
