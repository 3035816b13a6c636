#!/usr/bin/env bash
# Checks that the packages are reproducible: the committed state is cloned into two folders
# and packed in each with scripts/package.sh --all, a few seconds apart; every package and
# the programs in them must be byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trasop-reproducible.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

for clone in first second; do
  [ "$clone" = first ] || sleep 2
  git clone -q "$root" "$scratch/$clone"
  "$scratch/$clone/scripts/package.sh" --all >/dev/null
done

failed=0
cd "$scratch/first"
for file in build/package/trasop build/package-static/trasop build/linux-aarch64/trasop \
  build/win32/trasop.exe build/win64/trasop.exe build/package/trasop-map \
  build/package-static/trasop-map build/linux-aarch64/trasop-map build/win32/trasop-map.exe \
  build/win64/trasop-map.exe \
  build/packages/*; do
  if cmp -s "$file" "$scratch/second/$file"; then
    echo "same bytes: $file"
  else
    echo "DIFFERENT: $file" >&2
    failed=1
  fi
done
exit $failed
