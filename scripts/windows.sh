#!/usr/bin/env bash
# Cross-builds the Windows console program, 32-bit and 64-bit, runs the command-line tests on
# both executables under Wine, checks that they write the same bytes as the Linux build, and
# makes the packages (scripts/package.sh --windows: build/packages).
# Where the kernel cannot run 32-bit programs, the 32-bit Wine runs under qemu-i386 user
# emulation (scripts/wine32.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

missing=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686-win32)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-win32)
command -v wine >/dev/null 2>&1 || missing+=(wine wine64)
command -v qemu-i386 >/dev/null 2>&1 || missing+=(qemu-user)
# Without the 32-bit Wine an i686 program prints nothing and seems to succeed.
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
scripts/apt-install.sh --i386 "${missing[@]}"
scripts/deps.sh

# The 64-bit Wine: Debian 12 keeps it in /usr/lib/wine, later releases start it as wine64 or
# through the wine launcher. The win64 tests run under the one found here.
export WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
# Wine's first start creates its prefix and starts background services; done once here, with
# their output kept away from the tests.
wineserver -p >/dev/null 2>&1 || true
"$wine64" wineboot -i >/dev/null 2>&1 || true

# Some kernels refuse 32-bit Linux executables, and with them the 32-bit Wine; the 32-bit
# program then runs under a 32-bit Wine in qemu-i386 user emulation. WINE32=qemu chooses that
# way on any machine, WINE32=direct the plain Wine, WINE32=both runs the win32 tests both ways
# where the plain Wine works (CI, so that the emulated way stays tested everywhere).
runs_directly() {
  local out status=0
  out=$(timeout 120 wine "$1" 2>/dev/null) || status=$?
  [ "$status" -eq 2 ] && grep -q "Programmende" <<<"$out"
}

for target in win32 win64; do
  echo "== ${target}"
  cmake --preset "${target}" >/dev/null
  if [ "$target" = win64 ]; then
    cmake --preset win64 "-DCMAKE_CROSSCOMPILING_EMULATOR=env;WINEDEBUG=-all;${wine64}" >/dev/null
  fi
  cmake --build --preset "${target}" -j "$(nproc)"
  if [ "$target" = win32 ]; then
    case ${WINE32:-auto} in
    direct) ;;
    qemu) wine32=$(scripts/wine32.sh | tail -n 1) ;;
    *) if runs_directly build/win32/trasop.exe; then
         echo "win32: the 32-bit Wine runs directly"
       else
         echo "win32: this machine cannot run the 32-bit Wine directly; it runs under qemu-i386"
         wine32=$(scripts/wine32.sh | tail -n 1)
       fi ;;
    esac
    if [ -n "${wine32:-}" ]; then
      cmake --preset win32 "-DCMAKE_CROSSCOMPILING_EMULATOR=${wine32}" >/dev/null
    fi
  fi
  exe=build/${target}/trasop.exe
  dlls=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  echo "${exe} imports: ${dlls}"
  for dll in $dlls; do
    case "$dll" in KERNEL32.dll | ADVAPI32.dll | msvcrt.dll) ;; *) echo "unexpected DLL: $dll" >&2; exit 1 ;; esac
  done
  ctest --preset "${target}" -j "$(nproc)"
  if [ "$target" = win32 ] && [ "${WINE32:-auto}" = both ] && [ -z "${wine32:-}" ]; then
    echo "win32: the tests once more under qemu-i386"
    wine32=$(scripts/wine32.sh | tail -n 1)
    cmake --preset win32 "-DCMAKE_CROSSCOMPILING_EMULATOR=${wine32}" >/dev/null
    ctest --preset win32 -j "$(nproc)"
  fi

done
# A generated terrain through the Linux, win32 and win64 programs: the same bytes from each.
echo "== the same slope file from every build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target trasop make_terrain >/dev/null
same=build/same-bytes
rm -rf "$same"
mkdir -p "$same"
build/release/make_terrain 1000 1000 20 >"$same/terrain.dmna"
IFS=';' read -ra run32 <<<"${wine32:-wine}"
for target in linux win32 win64; do
  mkdir -p "$same/$target"
  cp "$same/terrain.dmna" "$same/$target/"
  case $target in
  linux) run=("$root/build/release/trasop") ;;
  win32) run=("${run32[@]}" "$root/build/win32/trasop.exe") ;;
  win64) run=("$wine64" "$root/build/win64/trasop.exe") ;;
  esac
  (cd "$same/$target" && "${run[@]}" terrain.dmna >/dev/null)
  [ "$target" = linux ] || cmp "$same/linux/terrain_s.dmna" "$same/$target/terrain_s.dmna"
done
echo "1000 x 1000: the Linux, win32 and win64 results are byte-identical"

wineserver -k >/dev/null 2>&1 || true
if [ -n "${wine32:-}" ]; then
  WINEPREFIX=$root/build/wine32/prefix wineserver -k >/dev/null 2>&1 || true
fi

scripts/package.sh --windows
