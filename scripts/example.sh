#!/usr/bin/env bash
# Builds trasop and computes the slopes of the shipped example, examples/hill.dmna.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target trasop -j "$(nproc)"
build/release/trasop examples/hill.dmna
echo
echo "First lines of examples/hill_s.dmna:"
head -n 18 examples/hill_s.dmna
