#!/usr/bin/env bash
# Holds the house style: every C++ file formatted as .clang-format says, the manual page free
# of groff warnings, the whole build free of compiler warnings (-Werror), the product code clean
# under .clang-tidy, whose warnings count as errors, and every C++ file including the standard
# headers for what it names. Fails at the first that does not hold.
#
#   scripts/lint.sh [VERSION]
#
# The lint tools are clang-format and clang-tidy of one version, 19 or later: VERSION where it
# is given (or LINT_CLANG), else the newest that is installed, else the newest that the
# package sources offer. .clang-tidy names only checks that every version from 19 on knows and
# that the code passes, so the answer is the same with each. The formatting is checked with the
# system's default clang-format too, where that is another version: the code is spelled so
# that every supported version formats it alike.
#
# For its test: LINT_TOOLS is the folder the installed versions are looked for in (default
# /usr/bin), and LINT_DRY_INSTALL=1 ends the run at the install step, saying what it would
# install, without installing.
set -eEuo pipefail
trap 'echo "lint: stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
tools=${LINT_TOOLS:-/usr/bin}

# The versions of 19 or later for which both tools are installed (or, with --offered, offered
# by the package sources), newest last.
versions() {
  if [ "${1:-}" = --offered ]; then
    apt-cache search --names-only '^clang-(format|tidy)-[0-9]+$' 2>/dev/null |
      sed -n 's/^clang-\(format\|tidy\)-\([0-9]*\) .*/\2/p'
  else
    for tool in "$tools"/clang-format-[0-9]* "$tools"/clang-tidy-[0-9]*; do
      if [ -x "$tool" ]; then echo "${tool##*-}"; fi
    done
  fi | sort -n | uniq -d | awk '$1 >= 19'
}
version=${1:-${LINT_CLANG:-}}
[ -n "$version" ] || version=$(versions | tail -n 1)
[ -n "$version" ] || version=$(versions --offered | tail -n 1)
if [ -z "$version" ] && [ "${LINT_DRY_INSTALL:-}" != 1 ]; then
  # Package lists never fetched (a fresh system): fetched with groff, which the lint needs too.
  echo "lint: no clang-format and clang-tidy of 19 or later installed or in the package lists: updating them"
  scripts/apt-install.sh groff-base
  version=$(versions --offered | tail -n 1)
fi
[ -n "$version" ] || { echo "lint: no clang-format and clang-tidy of version 19 or later" >&2; exit 1; }
[ "$version" -ge 19 ] 2>/dev/null || { echo "lint: version $version: 19 or later" >&2; exit 2; }
format=clang-format-$version
tidy=clang-tidy-$version
missing=()
[ -x "$tools/$format" ] || missing+=("$format")
[ -x "$tools/$tidy" ] || missing+=("$tidy")
command -v groff >/dev/null 2>&1 || missing+=(groff-base)
if [ ${#missing[@]} -gt 0 ]; then
  echo "lint: installing ${missing[*]}"
  if [ "${LINT_DRY_INSTALL:-}" = 1 ]; then exit 0; fi
  scripts/apt-install.sh "${missing[@]}"
fi
scripts/deps.sh gtest zlib

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
mapfile -t product < <(git ls-files 'app/*.cpp' 'grid/*.cpp' 'dmna/*.cpp' 'terrain/*.cpp' 'platform/*.cpp' \
  'map/*.cpp' 'map_app/*.cpp')

formatters=("$format")
if command -v clang-format >/dev/null 2>&1 &&
  [ "$(clang-format --version)" != "$("$format" --version)" ]; then
  formatters+=(clang-format)
fi
for formatter in "${formatters[@]}"; do
  echo "== $("$formatter" --version | sed 's/.*clang-format/clang-format/'): ${#sources[@]} files"
  "$formatter" --dry-run --Werror "${sources[@]}"
done

echo "== manual page"
warnings=$(for page in doc/*.1; do groff -man -ww -z "$page"; done 2>&1)
[ -z "$warnings" ] || { echo "$warnings" >&2; echo "lint: groff warns about a manual page" >&2; exit 1; }

echo "== build with warnings as errors"
cmake -S . -B build/lint -DCMAKE_BUILD_TYPE=Release -DTRASOP_WERROR=ON >/dev/null
if ! cmake --build build/lint -j "$(nproc)" >build/lint/build.log 2>&1; then
  grep -v '^\[' build/lint/build.log >&2
  echo "lint: the build has warnings or errors" >&2
  exit 1
fi

# run_tidy WHAT ARGS...: clang-tidy with its findings shown and counted as a failure.
run_tidy() {
  local what=$1 status=0 output
  shift
  echo "== clang-tidy: $what"
  output=$("$tidy" --quiet "$@" 2>&1) || status=$?
  grep -v -e ' generated\.$' -e '^\[[0-9]*/[0-9]*] Processing file' <<<"$output" || true
  [ $status -eq 0 ] || { echo "lint: clang-tidy found the above" >&2; exit 1; }
}
run_tidy "${#product[@]} product files" -p build/lint "${product[@]}"
# The include check on every C++ file, each compiled on its own as C++17 (headers too).
others=()
for file in "${sources[@]}"; do
  case " ${product[*]} " in *" $file "*) continue ;; esac
  # A Windows test helper builds with MinGW only (scripts/windows.sh builds it with warnings).
  case $file in tests/cli/windows_*) continue ;; esac
  others+=("$file")
done
run_tidy "includes of ${#others[@]} other files" --checks='-*,misc-include-cleaner' \
  "${others[@]}" -- -x c++ -std=c++17 -I.
echo "lint: clean"
