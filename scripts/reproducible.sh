#!/usr/bin/env bash
# Checks that the packages are reproducible: the committed state is cloned into two folders
# and packed in each, a few seconds apart; the Linux tarball, the Debian package, the win64
# zip and the programs in them must be byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trasop-reproducible.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The win64 zip stands for both Windows packages: the same packing, another compiler.
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 ||
  scripts/apt-install.sh g++-mingw-w64-x86-64-win32
command -v dpkg-shlibdeps >/dev/null 2>&1 || scripts/apt-install.sh dpkg-dev
command -v file >/dev/null 2>&1 || scripts/apt-install.sh file

pack() {
  local folder=$1
  git clone -q "$root" "$folder"
  (
    cd "$folder"
    # As scripts/package.sh: file times in the archives are the commit's time.
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
    export SOURCE_DATE_EPOCH
    for preset in package win64; do
      cmake --preset "$preset" >/dev/null
      cmake --build --preset "$preset" -j "$(nproc)" --target trasop >/dev/null
      (cd "build/$preset" && cpack >cpack.log 2>&1) || { cat "build/$preset/cpack.log" >&2; exit 1; }
    done
  )
}

pack "$scratch/first"
sleep 2
pack "$scratch/second"

failed=0
for file in build/package/trasop build/win64/trasop.exe build/package/packages/*.tar.gz \
  build/package/packages/*.deb build/win64/packages/*.zip; do
  first=$(cd "$scratch/first" && ls $file)
  if cmp -s "$scratch/first/$first" "$scratch/second/$first"; then
    echo "same bytes: $first"
  else
    echo "DIFFERENT: $first" >&2
    failed=1
  fi
done
exit $failed
