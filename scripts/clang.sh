#!/usr/bin/env bash
# Builds trasop and its tests with clang, warnings counted as errors, and runs the tests: with
# the system's clang++, or with each version given (clang++-14, clang++-19, ...), each in a
# build folder of its own (build/clang, build/clang-19).
#
#   scripts/clang.sh [VERSION ...]
set -euo pipefail
cd "$(dirname "$0")/.."
versions=("$@")
[ ${#versions[@]} -gt 0 ] || versions=("")
missing=()
for version in "${versions[@]}"; do
  command -v "clang++${version:+-$version}" >/dev/null 2>&1 || missing+=("clang${version:+-$version}")
done
scripts/apt-install.sh "${missing[@]}"
scripts/deps.sh gtest acl
for version in "${versions[@]}"; do
  suffix=${version:+-$version}
  dir=build/clang${suffix}
  echo "== $("clang++${suffix}" --version | head -n 1)"
  CC=clang${suffix} CXX=clang++${suffix} cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DTRASOP_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 300
done
