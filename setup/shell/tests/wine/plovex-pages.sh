#!/usr/bin/env bash
# Walks Plovex.exe's wizard pages under Wine in a virtual X display, once
# per user interface language (one program start each), and screenshots
# every page: the connection, model, network, name and summary pages, a
# network install that the Wine spooler refuses (its run page with the red
# log lines), a COM install that succeeds, the removal of that printer
# with its run page and log, and the start and connection pages at 150 %.
# The screenshots go to OUTDIR as <language>-<page>.png and are searched for
# empty glyph boxes (glyph-boxes.py). The runner picks each language's UI
# face (wine-run.sh). The install and the removal change the prefix's print
# system; the removal takes the printer away again.
#   plovex-pages.sh <wine-run.sh> <prefix> <Plovex.exe> <OUTDIR> [language ids...]
set -euo pipefail
runner=$1 prefix=$2 exe=$3 outdir=$4
shift 4
export WINEDEBUG=-all
. "$(dirname "$runner")/wine-arch.sh"
wine_arch_for "$exe" "$prefix"
. "$(dirname "$0")/wine-languages.sh"

if [ -z "${PLOVEX_PAGES_INNER:-}" ]; then run_languages PLOVEX_PAGES_INNER "$0" "$@"; fi

id=$1 caption=$2 english=${3:-}
start_plovex

# Points are given at 100 % and scaled by the current display scale.
scale=100
click() { xdotool mousemove --window "$main" $(($1 * scale / 100)) $(($2 * scale / 100)) click 1; sleep "${3:-0.6}"; }
shot() {
  sleep 0.4
  import -window root -crop "$(xdotool getwindowgeometry "$main" | awk '/Geometry/{g=$2} /Position/{split($2,p,","); pos=p[1]"+"p[2]} END{print g"+"pos}')" "$outdir/$id-$1.png"
  echo "screenshot: $outdir/$id-$1.png"
}
# Replaces the text of the edit box at a point.
type_into() { click "$1" "$2" 0.3; xdotool key --clearmodifiers ctrl+a; xdotool type --delay 30 "$3"; sleep 0.3; }
eval "$(xdotool getwindowgeometry --shell "$main")"
MAINW=$WIDTH
button_x() { echo $((MAINW - 6 - 28 * $1 - 14)); }
next() { click 405 375 "${1:-0.8}"; }
home() { click 496 375; }

if [ "$name" != "$caption" ]; then  # started in English: choose the language
  before=$(windows)
  xdotool mousemove --window "$main" "$(button_x 4)" 20 click 1
  lan=""
  for _ in $(seq 1 50); do lan=$(comm -13 <(echo "$before") <(windows) | head -n1); [ -n "$lan" ] && break; sleep 0.2; done
  [ -n "$lan" ] || fail "the language dialog did not open"
  xdotool mousemove --window "$lan" 60 $((36 + 12 + $(language_index "$id") * 36 + 16)) click 1
  sleep 1
  press "$lan" alt+F4
  sleep 0.6
  [ "$(xdotool getwindowname "$main")" = "$caption" ] || fail "the language did not change"
fi

shot main
next
shot porttype
# Network: the model page, the network page with an invalid address, the
# name and summary pages, and a run the Wine spooler refuses.
click 410 113
next
shot model
next
type_into 257 108 "10.0.300.1"
next
shot network-invalid
type_into 257 108 "127.0.0.1"
next
shot name
next
shot summary-network
next 4
shot install-run-failed
home
# COM: the port list, then a real install.
next
click 150 212
next
next
shot portlist
click 300 109  # COM1: the network name is still the chosen port
next
next
shot summary-com
next 10
shot install-run
home
# Removal of that printer (and the attempt on its driver).
click 410 180
next
click 200 169
shot removal-printers
next
click 200 169
shot removal-drivers
next
shot removal-summary
next 12
shot removal-run
home
# 150 %: the start page and the connection page.
click 134 372 1.5
scale=150
click 150 180  # the install card; the removal card is still chosen
shot main-150
next
shot porttype-150
click 38 372 1.5
scale=100

click "$(button_x 0)" 20
for _ in $(seq 1 75); do
  if ! kill -0 $pid 2>/dev/null; then
    trap - EXIT
    wait $pid && rc=0 || rc=$?
    echo "exit code $rc"
    exit $rc
  fi
  sleep 0.2
done
fail "Plovex did not end after its close button was clicked"
