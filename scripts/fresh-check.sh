#!/usr/bin/env bash
# Tries the README's quick start on a fresh, minimal Debian system, as a new user would:
#
#   scripts/fresh-check.sh          (as root; needs debootstrap, which it installs if missing)
#
# It builds a minimal root with debootstrap (nothing added but git) from the Debian mirror
# this machine's apt uses, clones the committed repository into it, and runs there:
#   1. as root: the two quick-start commands (scripts/example.sh, scripts/test.sh)
#   2. as a user without sudo, once root has installed the packages: the same two commands
#   3. as root: the Debian package made by scripts/package.sh, installed with apt-get, the
#      example run with it from another folder, its manual page shown, the package removed
# Each step's time and result are printed; its output goes to build/fresh-check/*.log, and
# the end of that log is shown when it fails. The mounts are undone on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 || scripts/apt-install.sh debootstrap

# The mirror and release of this machine's own package sources.
sources=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null || true)
mirror=$(awk '/^URIs:/ { print $2; exit }' <<<"$sources")
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' <<<"$sources")
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
[ -n "$mirror" ] && [ -n "$suite" ] || { echo "fresh-check.sh: no Debian mirror found" >&2; exit 1; }

logs=$repo/build/fresh-check
rm -rf "$logs"
mkdir -p "$logs"
rootfs=$(mktemp -d /var/tmp/trasop-fresh.XXXXXX)
chmod 755 "$rootfs"
mounted=()
cleanup() {
  local k
  for ((k = ${#mounted[@]} - 1; k >= 0; k--)); do umount -l "${mounted[k]}" 2>/dev/null || true; done
  rm -rf --one-file-system "$rootfs"
}
trap cleanup EXIT

failures=0
log_of() { echo "$logs/$(tr -c 'A-Za-z0-9.\n' '_' <<<"$1").log"; }

# step NAME COMMAND...: runs a command, prints its time and result, keeps its output.
step() {
  local name=$1 log start status=0
  shift
  log=$(log_of "$name")
  start=$(date +%s)
  "$@" >"$log" 2>&1 || status=$?
  printf '%-58s %4d s  %s\n' "$name" $(($(date +%s) - start)) \
    "$([ $status -eq 0 ] && echo passed || echo "FAILED ($status)")"
  if [ $status -ne 0 ]; then
    failures=$((failures + 1))
    tail -n 30 "$log" | sed 's/^/    /'
  fi
  return $status
}

# in_root USER COMMAND: a login-like shell in the fresh root, with a clean environment.
in_root() {
  local user=$1 home=/root ids=0:0
  if [ "$user" != root ]; then
    home=/home/$user
    ids=$(chroot "$rootfs" id -u "$user"):$(chroot "$rootfs" id -g "$user")
  fi
  chroot --userspec="$ids" "$rootfs" /usr/bin/env -i HOME="$home" USER="$user" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    /bin/bash -c "cd && $2"
}

step "debootstrap $suite (minbase, with git)" \
  debootstrap --variant=minbase --include=git "$suite" "$rootfs" "$mirror"
cp /etc/resolv.conf "$rootfs/etc/resolv.conf"
for fs in proc sys dev dev/pts; do
  mount --bind "/$fs" "$rootfs/$fs"
  mounted+=("$rootfs/$fs")
done
# The repository, read-only, to clone from.
mkdir -p "$rootfs/mnt/trasop"
mount --bind "$repo" "$rootfs/mnt/trasop"
mounted+=("$rootfs/mnt/trasop")
mount -o remount,bind,ro "$rootfs/mnt/trasop"

quick_start() {
  local user=$1
  step "$user: git clone" in_root "$user" "git clone -q /mnt/trasop trasop" || return 0
  step "$user: scripts/example.sh" in_root "$user" "cd trasop && scripts/example.sh" || true
  step "$user: scripts/test.sh" in_root "$user" "cd trasop && scripts/test.sh" || true
  # What the console of a new user shows of package installs: a line a step.
  echo "    console lines about packages, of both commands:" \
    "$(cat "$(log_of "$user: scripts/example.sh")" "$(log_of "$user: scripts/test.sh")" |
      grep -c -E '^(Updating|Installing|Adding)')"
}

quick_start root
chroot "$rootfs" useradd --create-home --shell /bin/bash newuser
# The repository to clone from belongs to root, not to this user.
in_root newuser "git config --global --add safe.directory '*'"
quick_start newuser
step "newuser: no sudo on this system" in_root newuser "! command -v sudo" || true

deb_check='
  cd trasop && scripts/package.sh
  apt-get install -y ./build/packages/trasop_*_amd64.deb >/dev/null
  mkdir -p /tmp/anywhere && cd /tmp/anywhere
  cp /usr/share/doc/trasop/examples/hill.dmna .
  trasop hill.dmna
  cmp hill_s.dmna /usr/share/doc/trasop/examples/expected/hill_s.dmna
  DEBIAN_FRONTEND=noninteractive apt-get install -y man-db >/dev/null
  man -P cat trasop | head -n 8
  apt-get remove -y trasop >/dev/null
  [ ! -e /usr/bin/trasop ] && [ ! -e /usr/share/man/man1/trasop.1 ]'
step "root: package, install, run, man trasop, remove" in_root root "set -e; $deb_check" || true

echo
if [ $failures -eq 0 ]; then
  echo "fresh-check: every step passed (logs in build/fresh-check)"
else
  echo "fresh-check: $failures step(s) FAILED (logs in build/fresh-check)" >&2
  exit 1
fi
