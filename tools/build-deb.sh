#!/usr/bin/env bash
# Builds the Debian packages of the Linux programs into build/deb/packages/
# with Debian's compiler flags and checks them with lintian; a lintian
# error or warning fails the build.
#   tools/build-deb.sh --arch arm64   the arm64 packages, cross-built with
#                                     Debian's multiarch packages, into
#                                     build/deb-arm64/packages/
set -euo pipefail
# The packages' directories and files get their modes from this: a user's
# umask is often 002 (a group of one's own), and 0775 directories are wrong
# in a package.
umask 022
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
build=build/deb
cross=()
arch=$(dpkg --print-architecture)
if [ "${1:-}" = --arch ] && [ -n "${2:-}" ] && [ "$2" != "$arch" ]; then
  if [ "$2" != arm64 ]; then
    echo "build-deb.sh: no cross build for $2 (arm64 only)" >&2
    exit 2
  fi
  arch=$2
  build=build/deb-$arch
  cross=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake")
  tools/deps.sh arm64 </dev/null
  # The flags, dpkg-shlibdeps and lintian go by the host architecture.
  eval "$(dpkg-architecture -a"$arch" -s 2>/dev/null)"
fi

tools/deps.sh package </dev/null

# Debian's hardening and optimisation flags; CMake does not read CPPFLAGS,
# which carries the fortified functions.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"

echo "== building the package files"
# Only what the packages hold: cpack must not build the whole tree first.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUILLET_BUILD_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${cross[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target quillet-package-files

echo "== packaging"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB)

status=0
for deb in "$build"/packages/*.deb; do
  echo "== lintian $(basename "$deb")"
  # lintian advises against running as root: as root, it runs as nobody
  # on a copy nobody can read (a checkout under /root nobody cannot
  # enter), from a folder nobody can enter.
  as=()
  path=$root/$deb
  if [ "$(id -u)" = 0 ] && id nobody >/dev/null 2>&1; then
    copy=$(mktemp -d)
    cp "$deb" "$copy/"
    chmod 755 "$copy"
    chmod 644 "$copy/$(basename "$deb")"
    path=$copy/$(basename "$deb")
    as=(runuser -u nobody --)
  fi
  (cd / && "${as[@]}" lintian --info --show-overrides --fail-on error,warning "$path") || status=1
  if [ -n "${copy:-}" ]; then rm -rf "$copy"; fi
done
exit $status
