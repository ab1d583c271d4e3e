#!/usr/bin/env bash
# Runs the README's test command as a newcomer would, on a fresh minimal Debian
# RELEASE (default trixie): `debootstrap --variant=minbase` with only git and
# ca-certificates added, a clone of this repository checked out at its HEAD
# commit, then tools/test.sh inside a chroot (as root, no display), and the
# tests once more without any locale set. Needs root and Debian's package
# mirror. The system is thrown away afterwards, even on failure; only the
# downloaded packages are kept, in CORVANTIS_DEBIAN_CACHE (default
# /var/cache/corvantis/RELEASE), and both debootstrap and apt check them
# against the fresh package lists before using one.
#
#   tools/fresh-debian.sh trixie
set -euo pipefail

release=${1:-trixie}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
cache=${CORVANTIS_DEBIAN_CACHE:-/var/cache/corvantis/$release}
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-debian.sh: needs root (debootstrap, mount, chroot)" >&2
  exit 1
fi
command -v debootstrap >/dev/null || tools/deps.sh debootstrap

# Everything below runs in a mount namespace of its own: the mounts made into
# the system (by debootstrap too) are never seen by the host and vanish with
# the namespace, whatever happens to this script.
if [ -z "${CORVANTIS_FRESH_NAMESPACE:-}" ]; then
  exec env CORVANTIS_FRESH_NAMESPACE=1 unshare --mount --propagation private \
    "$PWD/tools/fresh-debian.sh" "$@"
fi

commit=$(git rev-parse HEAD)
short=$(git rev-parse --short HEAD)
origin=$(git rev-parse --path-format=absolute --git-common-dir)
mkdir -p "$cache/debootstrap" "$cache/apt"
root=$(mktemp -d "${TMPDIR:-/var/tmp}/corvantis-$release.XXXXXX")
chmod 755 "$root" # the system's /, which apt's own user must be able to enter

mounts_under_root() {
  awk -v r="$root/" 'index($5, r) == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

# Unmounts first, so that removing the system cannot reach the package cache or
# the repository; anything still mounted keeps the system where it is.
cleanup() {
  local mount
  for mount in $(mounts_under_root); do
    umount -l "$mount" 2>/dev/null || true
  done
  if [ -n "$(mounts_under_root)" ]; then
    echo "fresh-debian.sh: $root is still mounted on; left in place" >&2
  else
    rm -rf --one-file-system "$root" "$root.log"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Prints the time a part took, failed or not, and passes on its status.
step() {
  local name=$1
  shift
  local start=$SECONDS status=0
  "$@" || status=$?
  echo "$release: $name took $((SECONDS - start)) s$([ $status -eq 0 ] || echo ", exit $status")"
  return $status
}

bootstrap() {
  if ! debootstrap --variant=minbase --include=git,ca-certificates \
    --cache-dir="$cache/debootstrap" "$release" "$root" "$mirror" >"$root.log" 2>&1; then
    tail -n 30 "$root.log" >&2
    return 1
  fi
  # What the installer writes: the release with its updates and security fixes.
  case $release in
    sid | unstable) echo "deb $mirror $release main" >"$root/etc/apt/sources.list" || return ;;
    *)
      cat >"$root/etc/apt/sources.list" <<LIST || return
deb $mirror $release main
deb $mirror $release-updates main
deb $security_mirror $release-security main
LIST
      ;;
  esac
  cp /etc/resolv.conf "$root/etc/resolv.conf"
}

mount_into_system() {
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --rbind /dev "$root/dev"
  mkdir -p "$root/srv/corvantis.git"
  mount --bind "$origin" "$root/srv/corvantis.git"
  mount -o remount,bind,ro "$root/srv/corvantis.git"
  mount --bind "$cache/apt" "$root/var/cache/apt/archives"
}

environment=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
for name in http_proxy https_proxy no_proxy; do
  if [ -n "${!name:-}" ]; then environment+=("$name=${!name}"); fi
done
in_system() {
  chroot "$root" env -i "${environment[@]}" "$@"
}

clone() {
  in_system git -c safe.directory='*' clone --quiet --no-local /srv/corvantis.git \
    /root/corvantis &&
    in_system git -C /root/corvantis checkout --quiet --detach "$commit"
}

echo "$release: tools/test.sh on a fresh minimal system, commit $short"
step "bootstrap (debootstrap --variant=minbase, git, ca-certificates)" bootstrap
mount_into_system
step "clone" clone
status=0
# With a login's locale, as the newcomer who types the README's command has.
step "tools/test.sh" in_system LANG=C.UTF-8 /root/corvantis/tools/test.sh || status=$?
# Scripts run from cron, a service or a container have no locale at all: the
# suites once more, as built, in what a fresh system sets (nothing).
if [ -d "$root/root/corvantis/build" ]; then
  step "the tests again without a locale" in_system sh -c \
    'cd /root/corvantis && QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"' ||
    status=$?
fi
# Keeps the cache to what the release still ships.
in_system apt-get -qq autoclean >/dev/null 2>&1 || true
exit "$status"
