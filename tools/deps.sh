#!/usr/bin/env bash
# Installs the Debian packages a build needs (Debian 12 or 13), skipping
# what is there.
#   tools/deps.sh demo     the filter and its preview
#   tools/deps.sh package  the filter and its Debian package
#   tools/deps.sh all      everything: tests, sanitizers, packages, the
#                          Windows cross build and Wine
#   tools/deps.sh wine64   Wine's 64-bit loader, for a machine that runs no
#                          32-bit code
#   tools/deps.sh linux    the Linux builds, tests and packages, no Windows
#   tools/deps.sh arm64    the arm64 cross build and qemu-user to test it
set -euo pipefail
what=${1:-all}

native=(cmake ninja-build g++ pkg-config make python3
        libcups2-dev libcupsimage2-dev cups cups-client cups-filters cups-ppdc
        ghostscript libpng-dev zlib1g-dev gettext poppler-utils zip
        libpappl-dev systemd-pc)
# clang-rt and systemd-pc stand for the package of this release (below);
# llvm brings llvm-symbolizer: without it clang's sanitizers name no
# function in a report, and the fuzz targets' leak suppressions, which go
# by function name, match nothing.
tests=(libgtest-dev libgmock-dev googletest libbenchmark-dev
       clang clang-rt llvm valgrind imagemagick cups-ipp-utils avahi-daemon avahi-utils
       iproute2)
package=(dpkg-dev file lintian)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev wine wine32:i386 xvfb xauth
         xdotool fonts-wqy-microhei fonts-liberation fonts-wine fonts-thai-tlwg
         librsvg2-bin python3-fonttools)

# The Debian 13 system CI builds in (tools/trixie.sh) and qemu-user for
# the arm64 tests.
ci=(debootstrap qemu-user-static)
# Debian's multiarch packages of the libraries we build on, for arm64.
arm64=(crossbuild-essential-arm64 qemu-user-static pkgconf time
       libcups2-dev:arm64 libcupsimage2-dev:arm64 libpappl-dev:arm64 libpng-dev:arm64
       libjpeg-dev:arm64 zlib1g-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64)

pkgs=("${native[@]}")
case "$what" in
  package) pkgs+=("${package[@]}") ;;
  linux) pkgs+=("${tests[@]}" "${package[@]}") ;;
  all) pkgs+=("${tests[@]}" "${package[@]}" "${windows[@]}" "${ci[@]}") ;;
  wine64) pkgs=(wine64) ;;
  arm64) pkgs=("${arm64[@]}") ;;
esac

sudo=""
if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive

updated=no
apt_update() {
  [ $updated = yes ] && return 0
  $sudo apt-get update -qq
  updated=yes
}

# Whether apt knows the release's packages (a fresh image has no lists).
lists_ready() {
  [ -n "$(apt-cache policy cmake 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v none)" ]
}

# The sanitizer and libFuzzer runtime comes in a package per clang
# version: the one of the clang that is installed, else of the clang the
# release would install.
clang_rt() {
  local v
  v=$(dpkg-query -W -f='${Depends}' clang 2>/dev/null | grep -oE '(^|, )clang-[0-9]+' | grep -oE '[0-9]+$' | head -n 1 || true)
  if [ -z "$v" ]; then
    lists_ready || apt_update
    v=$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
  fi
  if [ -z "$v" ]; then
    echo "deps.sh: cannot tell which clang this release installs" >&2
    exit 1
  fi
  echo "libclang-rt-$v-dev"
}

# systemd's pkg-config file names the unit folder the printer
# application's service goes to (/usr/lib/systemd/system on Debian 13):
# in systemd-dev where the release has that package, else in systemd.
systemd_pc() {
  if [ "$(dpkg-query -W -f='${db:Status-Status}' systemd-dev 2>/dev/null || true)" = installed ]; then
    echo systemd-dev
    return
  fi
  lists_ready || apt_update
  if apt-cache show systemd-dev >/dev/null 2>&1; then
    echo systemd-dev
  else
    echo systemd
  fi
}

missing=()
for p in "${pkgs[@]}"; do
  case "$p" in
    clang-rt) p=$(clang_rt) ;;
    systemd-pc) p=$(systemd_pc) ;;
  esac
  # A library installed for two architectures (arm64 beside amd64) has a
  # line for each.
  dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
for arch in i386 arm64; do
  if printf '%s\n' "${missing[@]}" | grep -q ":$arch\$"; then
    dpkg --print-foreign-architectures | grep -qx $arch || { $sudo dpkg --add-architecture $arch; updated=no; }
  fi
done
apt_update
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
