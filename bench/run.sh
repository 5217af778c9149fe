#!/usr/bin/env bash
# Whole-process benchmark of rastertoquillet against the plain baseline:
# renders the pages (CUPS test page and a text page, A4 at 203 and 300 dpi,
# a 1.5 m continuous page, a 4x4 page), then times every case.
#   bench/run.sh [BUILD_DIR] [RUNS]     (default build/perf, 9 runs)
# Build first: cmake --build BUILD_DIR --target rastertoquillet quillet-baseline
#              quillet-rastergen quillet-ppds
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/perf}" && pwd)
runs=${2:-9}
# cupsfilter is in /usr/sbin, which a user's PATH lacks on Debian.
PATH=$PATH:/usr/sbin:/sbin
ppds=$build/filter/ppd/ppd
pages=$build/bench/pages
mkdir -p "$pages"

# Raster exactly as the scheduler would hand it to the filter for our PPDs.
render() {  # dpi source output
  [ -s "$3" ] || cupsfilter -p "$ppds/qa4-$1.ppd" -m application/vnd.cups-raster "$2" > "$3" 2>/dev/null
}
for dpi in 203 300; do
  render $dpi /usr/share/cups/data/testprint "$pages/testprint-$dpi.ras"
  render $dpi "$root/bench/pages/text.ps" "$pages/text-$dpi.ras"
done
# Five test pages one below the other: 11880 rows, 1.49 m at 203 dpi.
[ -s "$pages/long-203.ras" ] ||
  "$build/filter/fuzz/quillet-rastergen" tile "$pages/testprint-203.ras" "$pages/long-203.ras" 5
[ -s "$pages/tiny.ras" ] || "$build/filter/fuzz/quillet-rastergen" page "$pages/tiny.ras" 4 4 128

exec python3 "$root/bench/measure.py" --runs "$runs" --ppds "$ppds" --pages "$pages" \
  --filter "$build/filter/rastertoquillet" --baseline "$build/bench/quillet-baseline"
