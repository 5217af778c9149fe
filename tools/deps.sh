#!/usr/bin/env bash
# Installs the Debian packages a build needs (Debian 12 or 13), skipping
# what is there.
#   tools/deps.sh demo     the filter and its preview
#   tools/deps.sh package  the filter and its Debian package
#   tools/deps.sh all      everything: tests, sanitizers, packages, the
#                          Windows cross build and Wine
#   tools/deps.sh wine64   Wine's 64-bit loader, for a machine that runs no
#                          32-bit code
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
       clang clang-rt llvm valgrind imagemagick cups-ipp-utils avahi-daemon avahi-utils)
package=(dpkg-dev file lintian)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev wine wine32:i386 xvfb xauth
         xdotool fonts-wqy-microhei fonts-liberation fonts-wine fonts-thai-tlwg
         librsvg2-bin python3-fonttools)

pkgs=("${native[@]}")
case "$what" in
  package) pkgs+=("${package[@]}") ;;
  all) pkgs+=("${tests[@]}" "${package[@]}" "${windows[@]}") ;;
  wine64) pkgs=(wine64) ;;
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
  st=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$st" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
apt_update
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
