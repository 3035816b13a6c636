#!/usr/bin/env bash
# Puts Debian's arm64 zlib (zlib1g-dev:arm64: its headers and static library) under
# build/zlib-aarch64, where the arm64 toolchain file finds it, for trasop-map's arm64 build.
# The package is downloaded with a private copy of the package lists and unpacked there: the
# machine's architectures and packages stay as they are, and no root is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=build/zlib-aarch64
[ ! -f "$target/usr/include/zlib.h" ] || exit 0
command -v dpkg-deb >/dev/null 2>&1 || { echo "zlib-aarch64.sh: dpkg-deb is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial"
options=(-o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
  -o "Dir::Cache=$work" -o APT::Architectures::=arm64 -o Debug::NoLocking=1)
printf 'Fetching zlib1g-dev:arm64 ... '
if (cd "$work" && apt-get "${options[@]}" update && apt-get "${options[@]}" download zlib1g-dev:arm64) \
  >"$work/log" 2>&1; then
  echo "done"
else
  echo failed
  tail -n 20 "$work/log" >&2
  exit 1
fi
rm -rf "$target"
mkdir -p "$target"
dpkg-deb -x "$work"/zlib1g-dev_*_arm64.deb "$target"
