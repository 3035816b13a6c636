#!/usr/bin/env bash
# Installs what building trasop needs, where it is missing (Debian or Ubuntu): the compiler,
# CMake and make, and with the words given also GoogleTest (gtest), valgrind (valgrind), and the
# tools that give a test file an access list and attributes and trace how the output is opened
# (acl), zlib and the font rasterizer's header for trasop-map (zlib), and those with what the
# tests of trasop-map read its pictures with (map).
#
#   scripts/deps.sh [gtest] [valgrind] [acl] [zlib] [map]
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
for extra in "$@"; do
  case $extra in
  gtest) [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev) ;;
  valgrind) command -v valgrind >/dev/null 2>&1 || missing+=(valgrind) ;;
  acl)
    command -v setfacl >/dev/null 2>&1 || missing+=(acl)
    command -v setfattr >/dev/null 2>&1 || missing+=(attr)
    command -v strace >/dev/null 2>&1 || missing+=(strace)
    ;;
  zlib)
    [ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
    [ -f /usr/include/stb/stb_truetype.h ] || missing+=(libstb-dev)
    ;;
  map)
    [ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
    [ -f /usr/include/stb/stb_truetype.h ] || missing+=(libstb-dev)
    /usr/bin/python3 -c 'import numpy' 2>/dev/null || missing+=(python3-numpy)
    /usr/bin/python3 -c 'import PIL' 2>/dev/null || missing+=(python3-pil)
    ;;
  *) echo "deps.sh: unknown part: $extra" >&2; exit 2 ;;
  esac
done
scripts/apt-install.sh "${missing[@]}"
