#!/usr/bin/env bash
# Installs what building and testing trasop needs, where it is missing (Debian or Ubuntu).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
scripts/apt-install.sh "${missing[@]}"
