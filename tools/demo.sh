#!/usr/bin/env bash
# Demo: builds the filter, the PPDs and quillet-decode, prints a three-page
# document (text, a photo-like gradient, line art) through the real CUPS
# filter chain with the A4 203 dpi PPD, and leaves the printer stream and
# PNG previews of what the printer would print in out/demo/.
# Nothing is installed into CUPS: cupsfilter runs with a private ServerBin
# that links the system's filters and holds the freshly built filter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
# cupsfilter is in /usr/sbin, which a user's PATH lacks on Debian.
PATH=$PATH:/usr/sbin:/sbin
build=build/demo
out=out/demo

tools/deps.sh demo </dev/null

echo "== building rastertoquillet, the PPDs and quillet-decode"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target rastertoquillet quillet-ppds quillet-decode

rm -rf "$out"
mkdir -p "$out"
python3 tools/demo/testdoc.py demo "$out/demo.pdf"

# cupsfilter only runs filters from <ServerBin>/filter and refuses group- or
# world-writable ones, so the filter gets a private, mode 755 copy there.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
sysbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
datadir=$(cups-config --datadir 2>/dev/null || echo /usr/share/cups)
mkdir -m 755 -p "$tmp/serverbin/filter"
for f in "$sysbin"/filter/*; do
  [ "$(basename "$f")" = rastertoquillet ] || ln -s "$f" "$tmp/serverbin/filter/"
done
install -m 755 "$build/filter/rastertoquillet" "$tmp/serverbin/filter/rastertoquillet"
printf 'ServerBin %s\nDataDir %s\nServerRoot /etc/cups\n' "$tmp/serverbin" "$datadir" >"$tmp/cups-files.conf"

echo "== printing $out/demo.pdf through the CUPS filter chain"
# -e makes cupsfilter use the PPD's own filter (ours) as the last step.
if ! cupsfilter -e -c "$tmp/cups-files.conf" -p "$build/filter/ppd/ppd/qa4-203.ppd" -m printer/foo \
     -t "Quillet demo" "$out/demo.pdf" >"$out/demo.prn" 2>"$out/cupsfilter.log"; then
  echo "cupsfilter failed; the last lines of $out/cupsfilter.log:" >&2
  tail -n 20 "$out/cupsfilter.log" >&2
  exit 1
fi

echo "== decoding the printer stream"
"$build/tools/quillet-decode" -o "$out/page" "$out/demo.prn" | tee "$out/summary.txt"

echo
echo "Printer stream: $root/$out/demo.prn"
echo "Page previews:  $(cd "$out" && ls page-*.png | sed "s|^|$root/$out/|" | tr '\n' ' ')"
echo "Page summary:   $root/$out/summary.txt (filter log: $root/$out/cupsfilter.log)"
