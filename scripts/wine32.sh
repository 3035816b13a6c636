#!/usr/bin/env bash
# Makes a 32-bit Wine that runs under qemu-i386 user emulation, for machines whose kernel
# cannot execute 32-bit programs, and prints the command that runs a Windows program with it:
#
#   scripts/wine32.sh [FOLDER]      (default: build/wine32)
#
# Nothing outside FOLDER is changed. FOLDER then holds:
#   lib/wine/wine64      a copy of Debian's 64-bit Wine loader
#   lib/wine/wine32      a copy of Debian's 32-bit Wine loader (from wine32:i386)
#   lib/wine/wine        a script that runs wine32 under qemu-i386
#   lib/wine/wineserver  a link to the system's wineserver
#   lib/<triplet>, share/wine   links to the system's Wine libraries and data
#   noreplace.so         the 32-bit preload library built from scripts/wine32-noreplace.c
#   prefix/              the Wine prefix, with its 32-bit half
#
# Wine finds its libraries relative to the real path of the running loader, hence copies, not
# links, of the two loaders. A 64-bit Wine starts a 32-bit child by running "wine" in its own
# folder, and a 32-bit Wine its 64-bit children by appending "64" to its own name: so the
# script named wine passes that name to the emulated loader as its argv[0].
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$root/build/wine32}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)

for needed in /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/lib/wine/wineserver; do
  [ -x "$needed" ] || { echo "wine32.sh: $needed is missing (packages wine, wine64, wine32:i386)" >&2; exit 1; }
done
command -v qemu-i386 >/dev/null || { echo "wine32.sh: qemu-i386 is missing (package qemu-user)" >&2; exit 1; }

bin=$folder/lib/wine
mkdir -p "$bin" "$folder/share"
cp -f /usr/lib/wine/wine64 "$bin/wine64"
cp -f /usr/lib/wine/wine "$bin/wine32"
ln -sfn /usr/lib/wine/wineserver "$bin/wineserver"
ln -sfn /usr/lib/x86_64-linux-gnu "$folder/lib/x86_64-linux-gnu"
ln -sfn /usr/lib/i386-linux-gnu "$folder/lib/i386-linux-gnu"
ln -sfn /usr/share/wine "$folder/share/wine"

gcc -m32 -nostdlib -shared -fPIC -O2 -o "$folder/noreplace.so" "$root/scripts/wine32-noreplace.c"

# WINELOADERNOEXEC: the loader would otherwise execute itself anew, which fails like any
# 32-bit program on such a kernel.
cat >"$bin/wine" <<EOF
#!/bin/sh
WINELOADERNOEXEC=1 exec qemu-i386 -0 "$bin/wine" -E LD_PRELOAD="$folder/noreplace.so" \\
  "$bin/wine32" "\$@"
EOF
chmod +x "$bin/wine"

# The prefix must be made by this folder's 64-bit Wine, which installs its 32-bit half too; a
# prefix made by the system's Wine lacks it, and is made anew. The server runs on for the whole
# test run (it fails quietly while the prefix folder is missing), and wineboot starts the
# prefix's background services now, so that no test's output pipe is held open by them.
export WINEPREFIX=$folder/prefix WINEDEBUG=-all
if [ -d "$WINEPREFIX" ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  "$bin/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"
"$bin/wineserver" -p >/dev/null 2>&1 || true  # already running: fine
"$bin/wine64" wineboot -i >/dev/null 2>&1
echo "env;WINEDEBUG=-all;WINEPREFIX=$WINEPREFIX;$bin/wine"
