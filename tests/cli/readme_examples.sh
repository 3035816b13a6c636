#!/bin/sh
# Runs every command of the README that starts a program: the lines of its sh blocks that begin
# with build/release/trasop (or trasop-map), and the console sessions' "$ trasop ..." lines
# (run from build/release), as shown, in a scratch copy of the repository's examples, with
# build/release holding the programs under test. Each must end with 0.
#   readme_examples.sh README EXAMPLES TRASOP TRASOP_MAP
set -eu
readme=$1 examples=$2
scratch=$(mktemp -d /tmp/trasop-readme.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/build/release"
cp -R "$examples" "$scratch/examples"
ln -s "$3" "$scratch/build/release/trasop"
ln -s "$4" "$scratch/build/release/trasop-map"
commands=$(awk '/^```sh$/ { sh = 1; next } /^```/ { sh = 0 }
  sh && /^build\/release\/trasop/ { print }
  /^\$ trasop/ { print "build/release/" substr($0, 3) }' "$readme")
[ -n "$commands" ] || { echo "FAILED: no command found in $readme"; exit 1; }
failed=0
count=0
while IFS= read -r line; do
  count=$((count + 1))
  if (cd "$scratch" && sh -c "$line" >/dev/null 2>"$scratch/stderr"); then
    echo "ran: $line"
  else
    echo "FAILED: $line"
    cat "$scratch/stderr"
    failed=1
  fi
done <<END
$commands
END
echo "$count commands"
exit $failed
