#!/usr/bin/env bash
# Cross-builds the Windows console program, 32-bit and 64-bit, runs the command-line tests on
# both executables under Wine, and packs build/trasop-<version>-win32.zip and -win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
missing=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686-win32)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-win32)
command -v wine >/dev/null 2>&1 || missing+=(wine wine64)
# Without the 32-bit Wine an i686 program prints nothing and seems to succeed.
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || "${sudo_cmd[@]}" dpkg --add-architecture i386
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
scripts/deps.sh

# Wine's first start creates its prefix and starts background services; done once here, with
# their output kept away from the tests.
export WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wineserver -p >/dev/null 2>&1 || true
"$wine64" wineboot -i >/dev/null 2>&1 || true

# Some kernels refuse 32-bit Linux executables, and with them the 32-bit Wine: the 32-bit
# program is then built and checked, but cannot be run here.
run32=true
if ! wine cmd /c exit >/dev/null 2>&1; then
  run32=false
  echo "NOTE: this machine cannot run 32-bit Wine; the win32 tests are skipped." >&2
fi

version=$(sed -n 's/^project(trasop VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for target in win32 win64; do
  echo "== ${target}"
  cmake --preset "${target}" >/dev/null
  cmake --build --preset "${target}" -j "$(nproc)"
  exe=build/${target}/trasop.exe
  dlls=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  echo "${exe} imports: ${dlls}"
  for dll in $dlls; do
    case "$dll" in KERNEL32.dll | msvcrt.dll) ;; *) echo "unexpected DLL: $dll" >&2; exit 1 ;; esac
  done
  if [ "$target" = win64 ] || $run32; then
    ctest --preset "${target}" -j "$(nproc)"
  fi

  # The release archive: the program, a README with CR LF line ends, the example and its result.
  stage=build/${target}/package/trasop-${version}-${target}
  rm -rf "build/${target}/package"
  mkdir -p "$stage/example"
  cp "$exe" "$stage/"
  sed 's/$/\r/' README.md >"$stage/README.txt"
  cp examples/hill.dmna examples/expected/hill_s.dmna "$stage/example/"
  (cd "build/${target}/package" && cmake -E tar cf "$root/build/trasop-${version}-${target}.zip" \
    --format=zip "trasop-${version}-${target}")
  echo "packed build/trasop-${version}-${target}.zip"
done
wineserver -k >/dev/null 2>&1 || true
