#!/usr/bin/env bash
# Builds both programs, trasop and trasop-map, and runs them on the shipped example,
# examples/hill.dmna: trasop's slopes are compared with the expected result,
# examples/expected/hill_s.dmna; trasop-map prints its summary of the real-looking example,
# examples/valley.dmna for a source with a stack 26 m high, and says where its figure went.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh zlib
cmake --preset release >/dev/null
cmake --build --preset release --target trasop trasop-map -j "$(nproc)"
build/release/trasop examples/hill.dmna
echo
echo "First lines of examples/hill_s.dmna:"
head -n 18 examples/hill_s.dmna
echo
if cmp -s examples/hill_s.dmna examples/expected/hill_s.dmna; then
  echo "examples/hill_s.dmna is byte for byte the expected result, examples/expected/hill_s.dmna."
else
  echo "examples/hill_s.dmna differs from the expected result, examples/expected/hill_s.dmna." >&2
  exit 1
fi
echo
echo "== build/release/trasop-map --source=3499800,5399900,26 examples/valley.dmna"
build/release/trasop-map --source=3499800,5399900,26 examples/valley.dmna
echo
echo "The figure is examples/valley_map.png (the summary's \"outputs\" line), made for a"
echo "16 cm column at 300 dpi; open it with any picture viewer. build/release/trasop-map --help"
echo "lists the options."
