#!/usr/bin/env bash
# Builds trasop, computes the slopes of the shipped example, examples/hill.dmna, and compares
# the result with the expected one, examples/expected/hill_s.dmna.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target trasop -j "$(nproc)"
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
