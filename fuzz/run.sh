#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a number of seconds (default 60), starting from its
# seed corpus: the reader's (fuzz_dmna, seeds in fuzz/corpus) and trasop-map's (fuzz_map, seeds
# in fuzz/map_corpus: a line of options, then a dmna text). New inputs they find are kept in
# build/fuzz/corpus and build/fuzz/map_corpus; a crash stops the run with a non-zero status
# and leaves its input in build/fuzz.
#
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! command -v clang++ >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  scripts/apt-install.sh clang libclang-rt-dev
fi
scripts/deps.sh map  # zlib, for trasop-map's target

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
mkdir -p build/fuzz/corpus build/fuzz/map_corpus
cd build/fuzz
for target in dmna:corpus map:map_corpus; do
  name=fuzz_${target%%:*} seeds=${target#*:}
  echo "== $name, $seconds s"
  ./fuzz/"$name" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$seeds" ../../fuzz/"$seeds" 2>&1 | tail -n 25
done
