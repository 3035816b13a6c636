#!/usr/bin/env bash
# Builds trasop and runs every test: in the release build, in a debug build under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the command-line tests once more with
# the tool under valgrind's memcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs="$(nproc)"
for preset in release dev memcheck; do
  echo "== ${preset} build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
done
