#!/usr/bin/env bash
# Builds the fuzz target and runs it for a number of seconds (default 60), starting from the
# seed corpus. New inputs it finds are kept in build/fuzz/corpus; a crash stops the run with
# a non-zero status and leaves its input in build/fuzz.
#
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! command -v clang++ >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  scripts/apt-install.sh clang libclang-rt-dev
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
mkdir -p build/fuzz/corpus
cd build/fuzz
./fuzz/fuzz_dmna -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 corpus ../../fuzz/corpus 2>&1 | tail -n 25
