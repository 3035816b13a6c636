#!/usr/bin/env bash
# Installs Debian packages for the project's scripts, and says so in one line a step:
#
#   scripts/apt-install.sh [--i386] PACKAGE...
#
# apt's own output goes to build/apt.log; when a step fails, the end of that log is shown.
# Runs apt-get as root, or through sudo where that works (at a terminal sudo is asked once, and may
# ask for the password); otherwise it stops with the packages and the command to run as root. A busy package manager is waited for, not taken for a failure.
# --i386 first adds the i386 architecture (for 32-bit packages such as wine32:i386).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
i386=false
if [ "${1:-}" = --i386 ]; then
  i386=true
  shift
fi
[ $# -gt 0 ] || exit 0

# no_root: the packages and the command to install them as root, and the end of this run.
no_root() {
  {
    echo "Missing packages: $*"
    echo "They need root to install. Run as root, then this script again:"
    $i386 && echo "  dpkg --add-architecture i386"
    echo "  apt-get update && apt-get install -y $*"
  } >&2
  exit 1
}

# sudo drops the caller's environment: the settings go in the command itself.
if [ "$(id -u)" -eq 0 ]; then
  as_root=(env)
elif ! command -v sudo >/dev/null 2>&1; then
  no_root "$@"
elif sudo -n true 2>/dev/null; then
  as_root=(sudo env)
elif [ -t 0 ]; then
  # One question to sudo, at the terminal: it fails at once, or after its own password tries,
  # for a user who may not use it.
  echo "Installing $* needs root: asking sudo, which may ask for your password."
  sudo -v || no_root "$@"
  as_root=(sudo env)
else
  no_root "$@"
fi

mkdir -p "$root/build"
log=$root/build/apt.log
: >"$log"
apt=("${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600)

step() {
  local what=$1
  shift
  printf '%s ... ' "$what"
  if "$@" >>"$log" 2>&1; then
    echo done
  else
    echo failed
    echo "The end of $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

if $i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "Adding the i386 architecture" "${as_root[@]}" dpkg --add-architecture i386
fi
step "Updating the package lists" "${apt[@]}" update
step "Installing $*" "${apt[@]}" install "$@"
