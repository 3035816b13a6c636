#!/usr/bin/env bash
# Holds the house style: every C++ file formatted as .clang-format says, the manual page free
# of groff warnings, the whole build free of compiler warnings (-Werror), and the product code
# clean under .clang-tidy, whose warnings count as errors. Fails at the first that does not hold.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
command -v clang-format >/dev/null 2>&1 || missing+=(clang-format)
command -v clang-tidy >/dev/null 2>&1 || missing+=(clang-tidy)
command -v groff >/dev/null 2>&1 || missing+=(groff-base)
scripts/apt-install.sh "${missing[@]}"
scripts/deps.sh

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
mapfile -t product < <(git ls-files 'app/*.cpp' 'grid/*.cpp' 'dmna/*.cpp' 'terrain/*.cpp')

echo "== clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

echo "== manual page"
warnings=$(groff -man -ww -z doc/trasop.1 2>&1)
[ -z "$warnings" ] || { echo "$warnings" >&2; echo "lint: groff warns about doc/trasop.1" >&2; exit 1; }

echo "== build with warnings as errors"
cmake -S . -B build/lint -DCMAKE_BUILD_TYPE=Release -DTRASOP_WERROR=ON >/dev/null
if ! cmake --build build/lint -j "$(nproc)" >build/lint/build.log 2>&1; then
  grep -v '^\[' build/lint/build.log >&2
  echo "lint: the build has warnings or errors" >&2
  exit 1
fi

echo "== clang-tidy: ${#product[@]} files"
status=0
output=$(clang-tidy -p build/lint --quiet "${product[@]}" 2>&1) || status=$?
grep -v ' generated\.$' <<<"$output" || true
[ $status -eq 0 ] || { echo "lint: clang-tidy found the above" >&2; exit 1; }
echo "lint: clean"
