#!/usr/bin/env bash
# Builds and tests this checkout on Debian 13 (trixie), in a debootstrap
# system kept on this machine between runs:
#   tools/trixie.sh            native build and tests, the package round
#                              trip (tools/package-test.sh), the arm64
#                              packages with their tests under qemu-user,
#                              and each release's packages printing on the
#                              other
#   tools/trixie.sh shell      a shell in it, with the checkout copied in
#   tools/trixie.sh run CMD    CMD in it, from the copied checkout
# The system is made when missing, made again when broken, and upgraded
# when its package lists are older than a day. The checkout's files (those
# git knows, not build/) are copied to /srv/quillet in it, where the
# tests' other users can reach the programs (not under /root). Whatever
# happens, the exit trap unmounts what this script mounted.
# QUILLET_TRIXIE sets where the system lives.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
R=${QUILLET_TRIXIE:-/var/lib/quillet-ci/trixie}
mirror=${QUILLET_MIRROR:-http://deb.debian.org/debian}
jobs=${JOBS:-2}
what=${1:-all}
# Tests left out under qemu-user: the filter's address-space limit (qemu
# reserves the guest's address space itself) and its signal before the
# first page (sent sooner than the emulated start-up installs the handler);
# the load and timing tests, bounded for native speed (jobs, limits,
# state); IPP conformance, which no architecture changes; access (its
# runs as another user, not yet checked under qemu-user).
arm64_skip=${QUILLET_ARM64_SKIP:-'^FilterProcess\.(PageBufferUnavailable|CancelBeforeFirstPage)$|^papp\.(conformance|jobs|limits|state|access)$'}
# Written once the system's packages are in; its age is the last refresh.
ready=$R/var/lib/quillet-ready

if [ "$(id -u)" != 0 ]; then
  echo "trixie.sh: debootstrap and chroot need root" >&2
  exit 1
fi

mounted=()
binfmt_mounted=no
binfmt_added=no
cleanup() {
  local i
  if [ -n "$child" ]; then
    kill -TERM -- -"$child" 2>/dev/null || true
    sleep 2
    kill -KILL -- -"$child" 2>/dev/null || true
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[$i]}" 2>/dev/null || umount -l "${mounted[$i]}" || true
  done
  mounted=()
  if [ $binfmt_added = yes ]; then echo -1 >/proc/sys/fs/binfmt_misc/quillet-aarch64 || true; fi
  if [ $binfmt_mounted = yes ]; then umount /proc/sys/fs/binfmt_misc || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bind() {
  local src=$1 dst=$R$1
  mkdir -p "$dst"
  mount --bind "$src" "$dst"
  mounted+=("$dst")
}

mount_all() {
  mount -t proc proc "$R/proc"; mounted+=("$R/proc")
  bind /sys
  bind /dev
  bind /dev/pts
  bind /dev/shm
  cp -L /etc/resolv.conf "$R/etc/resolv.conf"
}

chroot_env=(chroot "$R" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 JOBS="$jobs"
  QUILLET_ARM64_SKIP="$arm64_skip" DEBIAN_FRONTEND=noninteractive
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)

# In a session of its own and waited for, so that a TERM reaches the exit
# trap at once, which ends the whole session before unmounting.
child=""
in_chroot() {
  local status=0
  setsid --wait "${chroot_env[@]}" "$@" &
  child=$!
  wait "$child" || status=$?
  child=""
  return $status
}

# Not made, half made, or no longer starting a shell: made again.
healthy() {
  [ -f "$ready" ] && [ -x "$R/bin/sh" ] && chroot "$R" /bin/sh -c 'apt-get --version && dpkg --audit' >/dev/null 2>&1
}

make_system() {
  if grep -q " $R/" /proc/mounts; then
    echo "trixie.sh: something is still mounted under $R; not removing it" >&2
    exit 1
  fi
  echo "== making a Debian 13 system in $R"
  rm -rf "$R"
  mkdir -p "$(dirname "$R")"
  debootstrap --variant=minbase trixie "$R" "$mirror" >/dev/null
}

# qemu-user runs the arm64 programs ctest and the tests start, as Debian's
# qemu-user-static registers it (P: a program sees the argv[0] it was
# given; F: the kernel holds the emulator open, so it works in the chroot).
# Removed again on exit when this script added it.
binfmt_on() {
  local d=/proc/sys/fs/binfmt_misc
  if [ ! -e $d/register ]; then
    mount -t binfmt_misc binfmt_misc $d
    binfmt_mounted=yes
  fi
  [ -e $d/qemu-aarch64 ] || [ -e $d/quillet-aarch64 ] && return 0
  sed -e 's/^:qemu-aarch64:/:quillet-aarch64:/' /usr/lib/binfmt.d/qemu-aarch64.conf >$d/register
  binfmt_added=yes
}

copy_checkout() {
  rm -rf "$R/srv/quillet" "$R/root/quillet"  # the latter: where older runs kept it
  mkdir -p "$R/srv/quillet"
  git ls-files -z --cached --others --exclude-standard |
    tar -cf - --null -T - | tar -C "$R/srv/quillet" -xf -
}

# ---------------------------------------------------------------- system

healthy || make_system
mount_all
copy_checkout
if [ ! -f "$ready" ]; then
  in_chroot bash -c 'cd /srv/quillet && tools/deps.sh linux && tools/deps.sh arm64' </dev/null
  touch "$ready"
elif [ -n "$(find "$ready" -mmin +1440)" ]; then
  echo "== refreshing the Debian 13 system (last refreshed $(date -r "$ready" -u '+%F %H:%M'))"
  in_chroot bash -c 'apt-get update -qq && apt-get full-upgrade -y -qq && apt-get autoremove -y -qq' </dev/null >/dev/null
  in_chroot bash -c 'cd /srv/quillet && tools/deps.sh linux && tools/deps.sh arm64' </dev/null
  touch "$ready"
else
  in_chroot bash -c 'cd /srv/quillet && tools/deps.sh linux && tools/deps.sh arm64' </dev/null
fi

binfmt_on
case "$what" in
  shell) "${chroot_env[@]}" bash -c 'cd /srv/quillet && exec bash'; exit ;;
  run) shift; in_chroot bash -c 'cd /srv/quillet && exec "$@"' run "$@"; exit ;;
  all) ;;
  *) echo "usage: tools/trixie.sh [shell | run CMD...]" >&2; exit 2 ;;
esac

# A command line in the copied checkout.
in_tree() { in_chroot bash -c "cd /srv/quillet && $1" </dev/null; }
stage() { echo "== Debian 13: $*"; }

stage "native build and tests"
in_tree 'cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON >/dev/null'
in_tree 'cmake --build build/native -j "$JOBS" >build/native.log || { tail -n 100 build/native.log; exit 1; }'
in_tree 'ctest --test-dir build/native --output-on-failure -j "$JOBS"'

stage "Debian package and source install: build, install, print, remove"
in_tree 'tools/package-test.sh'
rm -rf "$root/build/trixie-packages"
cp -r "$R/srv/quillet/build/deb/packages" "$root/build/trixie-packages"

stage "arm64 packages (cross build, lintian)"
in_tree 'tools/build-deb.sh --arch arm64'
rm -rf "$root/build/arm64-packages"
cp -r "$R/srv/quillet/build/deb-arm64/packages" "$root/build/arm64-packages"

stage "arm64 tests under qemu-user (filter, imaging, commands, printer application)"
in_tree 'cmake -S . -B build/arm64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/aarch64-linux-gnu.cmake >/dev/null'
in_tree 'cmake --build build/arm64 -j "$JOBS" --target imaging/all commands/all filter/all tools/all printer-app/all \
  >build/arm64.log || { tail -n 100 build/arm64.log; exit 1; }'
in_tree 'ctest --test-dir build/arm64 --output-on-failure -j "$JOBS" -LE "setup|fuzz|slow" \
  -E "_NOT_BUILT\$|^fuzz\\.|^setup_fuzz|$QUILLET_ARM64_SKIP"'
in_tree 'python3 tools/papp-peak-memory.py build/arm64/printer-app/quillet-printer-app'

# The Debian 12 packages (tools/package-test.sh on the host leaves them in
# build/deb/packages) install and print here.
if compgen -G "$root/build/deb/packages/*.deb" >/dev/null; then
  stage "the Debian 12 packages on Debian 13"
  rm -rf "$R/srv/quillet/build/other-release"
  cp -r "$root/build/deb/packages" "$R/srv/quillet/build/other-release"
  in_tree 'QUILLET_DEBS=build/other-release tools/package-test.sh'
else
  echo "== no Debian 12 packages in build/deb/packages: run tools/package-test.sh first to test them here"
fi
