#!/usr/bin/env bash
# Installs the Debian 12 packages a build needs, skipping what is there.
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
        libpappl-dev)
tests=(libgtest-dev libgmock-dev googletest libbenchmark-dev
       clang libclang-rt-14-dev valgrind imagemagick cups-ipp-utils)
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

missing=()
for p in "${pkgs[@]}"; do
  st=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$st" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
