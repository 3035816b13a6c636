#!/usr/bin/env bash
# Cross-builds the Linux programs for arm64 (statically linked), runs the command-line tests
# and trasop-map's check on them under qemu-aarch64 user emulation, and checks that they write
# the same bytes as the x86_64 build for a generated 1000 x 1000 terrain.
# scripts/package.sh --aarch64 packs them.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
command -v aarch64-linux-gnu-g++ >/dev/null 2>&1 || missing+=(g++-aarch64-linux-gnu)
command -v qemu-aarch64 >/dev/null 2>&1 || missing+=(qemu-user)
scripts/apt-install.sh "${missing[@]}"
scripts/deps.sh map
scripts/zlib-aarch64.sh

echo "== linux-aarch64"
cmake --preset linux-aarch64 >/dev/null
cmake --build --preset linux-aarch64 -j "$(nproc)"
file build/linux-aarch64/trasop build/linux-aarch64/trasop-map
ctest --preset linux-aarch64 -j "$(nproc)"

echo "== the same slope file from the x86_64 and the arm64 program"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target trasop trasop-map make_terrain >/dev/null
same=build/same-bytes-aarch64
rm -rf "$same"
mkdir -p "$same/x86_64" "$same/aarch64"
build/release/make_terrain 1000 1000 20 >"$same/x86_64/terrain.dmna"
cp "$same/x86_64/terrain.dmna" "$same/aarch64/"
# With a source too, whose stack is no multiple of the spacing: its slopes over 2 H.
source=--source=3510000,5410000,81.3
(cd "$same/x86_64" && ../../release/trasop terrain.dmna >/dev/null &&
  ../../release/trasop-map --gis --json terrain.dmna >summary.json &&
  ../../release/trasop-map --gis --json -o source "$source" terrain.dmna >source.json)
(cd "$same/aarch64" && qemu-aarch64 ../../linux-aarch64/trasop terrain.dmna >/dev/null &&
  qemu-aarch64 ../../linux-aarch64/trasop-map --gis --json terrain.dmna >summary.json &&
  qemu-aarch64 ../../linux-aarch64/trasop-map --gis --json -o source "$source" terrain.dmna \
    >source.json)
for file in terrain_s.dmna terrain_map.png terrain_classes.png terrain_classes.pgw summary.json \
  source_map.png source_classes.png source.json; do
  cmp "$same/x86_64/$file" "$same/aarch64/$file"
done
echo "1000 x 1000: the x86_64 and arm64 results are byte-identical (slopes, maps, rasters, summaries; with a source too)"
