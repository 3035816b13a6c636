#!/usr/bin/env bash
# Tries the README's quick start on a fresh, minimal Debian system, as new users would:
#
#   scripts/fresh-check.sh [SUITE]    (as root; SUITE any suite of the archive, such as
#                                      bookworm, trixie, forky, testing, sid or unstable; default:
#                                      the suite this machine's apt follows; installs debootstrap
#                                      if missing)
#
# It builds a minimal root of that release with debootstrap (nothing added but git and sudo),
# for this machine's architecture and from the Debian mirror and with the apt settings this
# machine uses (a suite that this debootstrap does not know yet is made with its script for
# sid), clones the committed repository into it, and runs there:
#   1. a user who may not use sudo, at a terminal (script gives it one), before any package is
#      there: scripts/example.sh must stop at once with the packages to install as root
#   2. root: scripts/example.sh, which installs the build tools as root
#   3. a user whom sudo lets install (as on an admin's desktop): scripts/example.sh, then
#      scripts/test.sh, which installs GoogleTest and valgrind through sudo, and then the
#      removal of the build folder they made
#   4. root, on a release other than this machine's own (on this one, root runs them directly):
#      scripts/test.sh, and scripts/lint.sh, which installs the newest clang-format and
#      clang-tidy of 19 or later that the release offers
#   5. the user without sudo rights, now that the packages are there: scripts/example.sh
#   6. that no build of the quick start printed a compiler warning
#   7. root: the Debian package made by scripts/package.sh, installed with apt-get, the
#      example run with it from another folder, its manual page shown, the package removed
# Each step's time and result are printed; its output goes to build/fresh-check-SUITE/*.log,
# and the end of that log is shown when it fails. The mounts are undone on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 || scripts/apt-install.sh debootstrap

# The mirror of this machine's own package sources, and its release and architecture.
sources=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null || true)
mirror=$(awk '/^URIs:/ { print $2; exit }' <<<"$sources")
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' <<<"$sources")
# The suite apt follows here: on unstable that is sid, which os-release names as testing's.
followed=$(awk '/^Suites:/ { print $2; exit }' <<<"$sources")
[ -n "$followed" ] || followed=$(awk '$1 == "deb" { print $3; exit }' <<<"$sources")
suite=${1:-${followed:-$(. /etc/os-release && echo "$VERSION_CODENAME")}}
# debootstrap knows the suites of its own time; a newer one is made the way sid is.
script=/usr/share/debootstrap/scripts/$suite
[ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
arch=$(dpkg --print-architecture)
[ -n "$mirror" ] && [ -n "$suite" ] || { echo "fresh-check.sh: no Debian mirror found" >&2; exit 1; }

logs=$repo/build/fresh-check-$suite
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
  printf '%-64s %4d s  %s\n' "$name" $(($(date +%s) - start)) \
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

step "debootstrap $suite $arch (minbase, with git and sudo)" \
  debootstrap --variant=minbase --arch="$arch" --include=git,sudo "$suite" "$rootfs" "$mirror" \
  "$script"
cp /etc/resolv.conf "$rootfs/etc/resolv.conf"
# This machine's apt settings (a proxy, how the archive is checked), where the root has no file
# of that name itself.
for conf in /etc/apt/apt.conf /etc/apt/apt.conf.d/* /etc/apt/auth.conf.d/*; do
  [ -f "$conf" ] && [ ! -e "$rootfs$conf" ] || continue
  mkdir -p "$(dirname "$rootfs$conf")"
  cp "$conf" "$rootfs$conf"
done
# sudo looks up the host's name.
echo "127.0.1.1 $(hostname)" >>"$rootfs/etc/hosts"
for fs in proc sys dev dev/pts; do
  mount --bind "/$fs" "$rootfs/$fs"
  mounted+=("$rootfs/$fs")
done
# The repository, read-only, to clone from.
mkdir -p "$rootfs/mnt/trasop"
mount --bind "$repo" "$rootfs/mnt/trasop"
mounted+=("$rootfs/mnt/trasop")
mount -o remount,bind,ro "$rootfs/mnt/trasop"

# add_user NAME: a user with a home, whose git trusts the repository to clone (it is root's).
add_user() {
  chroot "$rootfs" useradd --create-home --shell /bin/bash "$1"
  in_root "$1" "git config --global --add safe.directory '*'"
}
add_user newuser
add_user admin
echo 'admin ALL=(ALL) NOPASSWD: ALL' >"$rootfs/etc/sudoers.d/admin"
chmod 440 "$rootfs/etc/sudoers.d/admin"
for user in root newuser admin; do
  step "$user: git clone" in_root "$user" "git clone -q /mnt/trasop trasop"
done

# At a terminal, with sudo installed but not allowed to this user: one question to sudo, then
# the packages and the command for root, and the run ends with 1, without waiting for input.
tty_check='
  status=0
  timeout 120 script -qec scripts/example.sh /dev/null </dev/null >~/tty.log 2>&1 || status=$?
  cat ~/tty.log
  [ $status -eq 1 ] &&
    grep -q "needs root: asking sudo" ~/tty.log &&
    grep -q "^Missing packages: cmake g++ make" ~/tty.log &&
    grep -q "apt-get update && apt-get install -y cmake g++ make" ~/tty.log'
step "newuser at a terminal, sudo not allowed: the packages for root" \
  in_root newuser "cd trasop && $tty_check" || true

run() { step "$1: scripts/$2" in_root "$1" "cd trasop && scripts/$2" || true; }
run root example.sh
run admin example.sh
run admin test.sh
step "admin: rm -rf build (every test left what it made removable)" \
  in_root admin "cd trasop && rm -rf build && [ ! -e build ]" || true
if [ "$suite" != "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" ]; then
  run root test.sh
  run root lint.sh
else
  echo "root: scripts/test.sh and scripts/lint.sh are this machine's own runs on $suite"
fi
run newuser example.sh
# What the console of a new user shows of package installs: a line a step.
echo "    console lines about packages, of all these commands:" \
  "$(cat "$logs"/*example.sh.log "$logs"/*test.sh.log | grep -c -E '^(Updating|Installing|Adding)')"
step "no compiler warnings in the builds above" \
  bash -c "! grep -h -E 'warning:' '$logs'/*example.sh.log '$logs'/*test.sh.log" || true

deb_check='
  cd trasop && scripts/package.sh
  apt-get install -y ./build/packages/trasop_*_'"$arch"'.deb >/dev/null
  [ -e /usr/share/man/man1/trasop.1.gz ] && [ -e /usr/share/doc/trasop/copyright ]
  mkdir -p /tmp/anywhere && cd /tmp/anywhere
  cp /usr/share/doc/trasop/examples/hill.dmna .
  trasop hill.dmna
  cmp hill_s.dmna /usr/share/doc/trasop/examples/expected/hill_s.dmna
  DEBIAN_FRONTEND=noninteractive apt-get install -y man-db >/dev/null
  man -P cat trasop | head -n 8
  apt-get remove -y trasop >/dev/null
  [ ! -e /usr/bin/trasop ] && [ ! -e /usr/share/man/man1/trasop.1.gz ]'
step "root: package, install, run, man trasop, remove" in_root root "set -e; $deb_check" || true

echo
if [ $failures -eq 0 ]; then
  echo "fresh-check $suite: every step passed (logs in build/fresh-check-$suite)"
else
  echo "fresh-check $suite: $failures step(s) FAILED (logs in build/fresh-check-$suite)" >&2
  exit 1
fi
