#!/usr/bin/env bash
# Cross-builds the Windows console program, 32-bit and 64-bit, runs the command-line tests on
# both executables under Wine, checks that they write the same bytes as the Linux build, and
# makes the packages (scripts/package.sh --windows: build/packages).
# Where the kernel cannot run 32-bit programs, the 32-bit Wine runs under qemu-i386 user
# emulation (scripts/wine32.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# can_install PACKAGE...: whether apt could install the packages, with the i386 architecture
# added, asked of a private copy of the package lists, so that nothing on the machine changes.
can_install() {
  local lists status=0
  lists=$(mktemp -d)
  mkdir -p "$lists/partial"
  local options=(-o "Dir::State::Lists=$lists" -o APT::Architectures::=amd64 -o APT::Architectures::=i386)
  { apt-get "${options[@]}" update && apt-get "${options[@]}" -s install "$@"; } >/dev/null 2>&1 ||
    status=$?
  rm -rf "$lists"
  return $status
}

missing=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686-win32)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-win32)
command -v qemu-i386 >/dev/null 2>&1 || missing+=(qemu-user)
# zlib for trasop-map, linked in.
[ -f /usr/x86_64-w64-mingw32/include/zlib.h ] || missing+=(libz-mingw-w64-dev)
[ -f /usr/include/stb/stb_truetype.h ] || missing+=(libstb-dev)
# The sources of a German locale, which the map check makes for Wine alone (localedef).
[ -d /usr/share/i18n/locales ] || missing+=(locales)
wine_missing=()
command -v wine >/dev/null 2>&1 || wine_missing+=(wine wine64)
# Without the 32-bit Wine an i686 program prints nothing and seems to succeed.
dpkg -s wine32:i386 >/dev/null 2>&1 || wine_missing+=(wine32:i386)
# Before anything changes (the i386 architecture included): which Wine can be had here at all.
run64=true run32=true
if [ ${#wine_missing[@]} -gt 0 ] && [ "$(id -u)" -eq 0 ] && ! can_install "${wine_missing[@]}"; then
  if ! command -v wine >/dev/null 2>&1 && ! can_install wine wine64; then
    echo "windows.sh: Wine cannot be installed on this system: the Windows programs are built, not run"
    run64=false run32=false wine_missing=()
  else
    echo "windows.sh: the 32-bit Wine (wine32:i386) cannot be installed on this system: the win32 program is built, not run"
    run32=false
    mapfile -t wine_missing < <(printf '%s\n' "${wine_missing[@]}" | grep -v ':i386$' || true)
  fi
fi
if $run32; then
  scripts/apt-install.sh --i386 "${missing[@]}" "${wine_missing[@]}"
else
  scripts/apt-install.sh "${missing[@]}" "${wine_missing[@]}"
fi
scripts/deps.sh

# The 64-bit Wine: Debian 12 keeps it in /usr/lib/wine, later releases start it as wine64 or
# through the wine launcher. The win64 tests run under the one found here.
export WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine || echo wine)
# Wine's server, wherever the release puts it (not always on PATH).
wineserver=$(command -v wineserver || true)
for candidate in /usr/lib/wine/wineserver /usr/lib/wine/wineserver64 /usr/libexec/wine/wineserver; do
  [ -n "$wineserver" ] || { [ -x "$candidate" ] && wineserver=$candidate; }
done
# Wine wants a private runtime folder; a shell without a login session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ] || [ ! -O "$XDG_RUNTIME_DIR" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/trasop-runtime.XXXXXX)
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
# Wine's first start creates its prefix and starts background services; done once here, with
# their output kept away from the tests.
if $run64; then
  [ -z "$wineserver" ] || "$wineserver" -p >/dev/null 2>&1 || true
  "$wine64" wineboot -i >/dev/null 2>&1 || true
fi

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
  # Warnings count as errors here too (the product and the Windows test helper).
  cmake --preset "${target}" -DTRASOP_WERROR=ON >/dev/null
  if [ "$target" = win64 ]; then
    cmake --preset win64 "-DCMAKE_CROSSCOMPILING_EMULATOR=env;WINEDEBUG=-all;${wine64}" >/dev/null
  fi
  cmake --build --preset "${target}" -j "$(nproc)"
  runs=$run64
  [ "$target" = win64 ] || runs=$run32
  if [ "$target" = win32 ] && $runs; then
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
  for exe in build/${target}/trasop.exe build/${target}/trasop-map.exe; do
    dlls=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    echo "${exe} imports: ${dlls}"
    for dll in $dlls; do
      case "$dll" in KERNEL32.dll | ADVAPI32.dll | msvcrt.dll) ;; *) echo "unexpected DLL: $dll" >&2; exit 1 ;; esac
    done
  done
  if ! $runs; then
    echo "${target}: built; its tests are left out, for want of a Wine that runs it"
    continue
  fi
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
cmake --build --preset release -j "$(nproc)" --target trasop trasop-map make_terrain >/dev/null
same=build/same-bytes
rm -rf "$same"
mkdir -p "$same"
build/release/make_terrain 1000 1000 20 >"$same/terrain.dmna"
IFS=';' read -ra run32 <<<"${wine32:-wine}"
compared=()
for target in linux win32 win64; do
  case $target in win32) $run32 || continue ;; win64) $run64 || continue ;; esac
  compared+=("$target")
  mkdir -p "$same/$target"
  cp "$same/terrain.dmna" "$same/$target/"
  case $target in
  linux) run=("$root/build/release/trasop") ;;
  win32) run=("${run32[@]}" "$root/build/win32/trasop.exe") ;;
  win64) run=("$wine64" "$root/build/win64/trasop.exe") ;;
  esac
  (cd "$same/$target" && "${run[@]}" terrain.dmna >/dev/null)
  # trasop-map's figure (type, marks, reduced map), class raster and world file.
  map=("${run[@]}")
  map[${#map[@]}-1]=${run[${#run[@]}-1]/trasop/trasop-map}
  (cd "$same/$target" && "${map[@]}" --gis --width=12cm --centre=3510000,5410000 --radius=4000 \
    terrain.dmna >/dev/null 2>&1)
  # With a source whose stack is no multiple of the spacing: its slopes over 2 H.
  (cd "$same/$target" && "${map[@]}" --gis -o source --source=3510000,5410000,81.3 \
    terrain.dmna >/dev/null 2>&1)
  if [ "$target" != linux ]; then
    for file in terrain_s.dmna terrain_map.png terrain_classes.png terrain_classes.pgw \
      source_map.png source_classes.png; do
      cmp "$same/linux/$file" "$same/$target/$file"
    done
  fi
done
echo "1000 x 1000: the ${compared[*]} slope files and trasop-map's outputs are byte-identical"

if [ -n "$wineserver" ]; then
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -n "${wine32:-}" ]; then
    WINEPREFIX=$root/build/wine32/prefix "$wineserver" -k >/dev/null 2>&1 || true
  fi
fi

scripts/package.sh --windows
