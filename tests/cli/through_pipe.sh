#!/bin/sh
# Runs a command on a file through a named pipe, so that it reads a text whose size it cannot
# know beforehand, with its address space limited to LIMIT KiB:
#
#   through_pipe.sh LIMIT COMMAND... FILE     (the command is given the pipe's name, pipe.dmna)
limit=$1
shift
left=$#
for arg; do
  shift
  if [ "$left" -eq 1 ]; then
    file=$arg
    set -- "$@" pipe.dmna
  else
    set -- "$@" "$arg"
  fi
  left=$((left - 1))
done
rm -f pipe.dmna
mkfifo pipe.dmna || exit 99
cat "$file" >pipe.dmna 2>/dev/null &
writer=$!
(ulimit -v "$limit" && exec "$@")
status=$?
# A writer still waiting (for a command that never opened the pipe, or stopped reading) ends.
kill "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
rm -f pipe.dmna
exit $status
