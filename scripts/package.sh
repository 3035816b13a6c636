#!/usr/bin/env bash
# Makes the release packages with CPack, into build/packages, with a SHA256SUMS file:
#   trasop-<version>-linux-x86_64.tar.gz and trasop_<version>_amd64.deb
#   with --windows also trasop-<version>-win32.zip and trasop-<version>-win64.zip
# File times in the archives are the commit's time (SOURCE_DATE_EPOCH, unless already set), so
# the same commit gives the same bytes; scripts/reproducible.sh checks that.
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

presets=(package)
missing=()
# The Debian package's dependencies are found by dpkg-shlibdeps, which CPack runs with file.
command -v dpkg-shlibdeps >/dev/null 2>&1 || missing+=(dpkg-dev)
command -v file >/dev/null 2>&1 || missing+=(file)
if [ "${1:-}" = --windows ]; then
  presets+=(win32 win64)
  command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686-win32)
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-win32)
fi
scripts/apt-install.sh "${missing[@]}"
command -v cmake >/dev/null 2>&1 && command -v g++ >/dev/null 2>&1 || scripts/apt-install.sh cmake g++ make

rm -rf build/packages
mkdir -p build/packages
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" --target trasop >/dev/null
  rm -rf "build/$preset/packages"
  if ! (cd "build/$preset" && cpack >cpack.log 2>&1); then
    cat "build/$preset/cpack.log" >&2
    exit 1
  fi
  find "build/$preset/packages" -maxdepth 1 -type f -exec cp {} build/packages/ \;
done
(cd build/packages && sha256sum -- *.* >SHA256SUMS)
echo "Packages in build/packages:"
sed 's/^/  /' build/packages/SHA256SUMS
