#!/usr/bin/env bash
# Makes the release packages with CPack, into build/packages, with a SHA256SUMS file:
#   trasop_<version>_<arch>.deb (dynamically linked, for Debian 12 and newer) and
#   trasop-<version>-linux-x86_64.tar.gz (statically linked, for any x86_64 Linux)
#   with --windows also trasop-<version>-win32.zip and trasop-<version>-win64.zip
#   with --aarch64 also trasop-<version>-linux-aarch64.tar.gz (statically linked, arm64)
#   with --all all of them
# File times in the archives are the commit's time (SOURCE_DATE_EPOCH, unless already set), so
# the same commit gives the same bytes; scripts/reproducible.sh checks that. Where lintian is
# installed, the Debian package is checked with it: any error but the placeholder maintainer
# address (bogus-mail-host, until -DTRASOP_MAINTAINER names a real one) fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

presets=(package package-static)
missing=()
for flag in "$@"; do
  case $flag in
  --windows) presets+=(win32 win64) ;;
  --aarch64) presets+=(linux-aarch64) ;;
  --all) presets+=(win32 win64 linux-aarch64) ;;
  *) echo "usage: scripts/package.sh [--windows] [--aarch64] [--all]" >&2; exit 2 ;;
  esac
done
# The Debian package's dependencies are found by dpkg-shlibdeps, which CPack runs with file.
command -v dpkg-shlibdeps >/dev/null 2>&1 || missing+=(dpkg-dev)
command -v file >/dev/null 2>&1 || missing+=(file)
command -v gzip >/dev/null 2>&1 || missing+=(gzip)
# zlib, for trasop-map in every package.
[ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
[ -f /usr/include/stb/stb_truetype.h ] || missing+=(libstb-dev)
case " ${presets[*]} " in *" win32 "*)
  command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686-win32)
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-win32)
  [ -f /usr/x86_64-w64-mingw32/include/zlib.h ] || missing+=(libz-mingw-w64-dev)
[ -f /usr/include/stb/stb_truetype.h ] || missing+=(libstb-dev) ;;
esac
case " ${presets[*]} " in *" linux-aarch64 "*)
  command -v aarch64-linux-gnu-g++ >/dev/null 2>&1 || missing+=(g++-aarch64-linux-gnu) ;;
esac
scripts/apt-install.sh "${missing[@]}"
scripts/deps.sh
case " ${presets[*]} " in *" linux-aarch64 "*) scripts/zlib-aarch64.sh ;; esac

rm -rf build/packages
mkdir -p build/packages
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  rm -f "build/$preset/trasop" "build/$preset/trasop-map"
  # Every package carries trasop-map: its build must have found zlib.
  programs=(trasop trasop-map)
  [ -f "build/$preset/CMakeFiles/trasop-map.dir/build.make" ] ||
    { echo "package.sh: build/$preset has no trasop-map (zlib not found)" >&2; exit 1; }
  cmake --build --preset "$preset" -j "$(nproc)" --target "${programs[@]}" \
    >"build/$preset/build.log" 2>&1 || { cat "build/$preset/build.log" >&2; exit 1; }
  case $preset in package-static | linux-aarch64)
    # A static program that used the name service would need the system's own libraries at
    # run time: the linker warns of such calls, and their symbols would be in the program.
    for program in "${programs[@]}"; do
      file "build/$preset/$program" | grep -q 'statically linked' ||
        { echo "package.sh: build/$preset/$program is not statically linked" >&2; exit 1; }
      if nm "build/$preset/$program" | grep -E ' (__nss_|getpw|getgrnam|getgrgid|getaddrinfo|gethostby)'; then
        echo "package.sh: build/$preset/$program needs the name service" >&2
        exit 1
      fi
    done
    if grep -i 'statically linked applications requires' "build/$preset/build.log"; then
      echo "package.sh: a program of build/$preset needs the name service" >&2
      exit 1
    fi ;;
  esac
  rm -rf "build/$preset/packages"
  if ! (cd "build/$preset" && cpack >cpack.log 2>&1); then
    cat "build/$preset/cpack.log" >&2
    exit 1
  fi
  find "build/$preset/packages" -maxdepth 1 -type f -exec cp {} build/packages/ \;
done

if command -v lintian >/dev/null 2>&1; then
  echo "lintian:"
  report=$(lintian --info build/packages/*.deb 2>&1 || true)
  sed 's/^/  /' <<<"$report"
  if grep -E '^E: ' <<<"$report" | grep -v -q -E ' bogus-mail-host(-in-debian-changelog)? '; then
    echo "package.sh: lintian reports errors in the Debian package" >&2
    exit 1
  fi
fi
(cd build/packages && sha256sum -- *.* >SHA256SUMS)
echo "Packages in build/packages:"
sed 's/^/  /' build/packages/SHA256SUMS
