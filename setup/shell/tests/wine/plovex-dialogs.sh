#!/usr/bin/env bash
# Drives Plovex.exe's small windows under Wine in a virtual X display:
# the About and language dialogs and the skin chooser open from the main
# window's title bar, Alt+F4 closes only the dialog, choosing Japanese
# repaints the main window in Japanese, and the add-port dialog opens from
# the wizard's port list page. Screenshots of every window go to OUTDIR.
#   plovex-dialogs.sh <wine-run.sh> <prefix> <Plovex.exe> <OUTDIR>
set -euo pipefail
runner=$1 prefix=$2 exe=$3 outdir=$4
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 WINEDEBUG=-all WINEARCH=win32

if [ -z "${PLOVEX_DIALOGS_INNER:-}" ]; then
  mkdir -p "$outdir"
  "$runner" --prefix "$prefix" --timeout 120 /usr/lib/i386-linux-gnu/wine/i386-windows/hostname.exe >/dev/null
  export WINEPREFIX=$(cd "$prefix" && pwd) PLOVEX_DIALOGS_INNER=1
  status=0
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@" || status=$?
  wineserver -w || true
  . "$(dirname "$0")/ui-font.sh"
  xvfb-run -a bash -c "$(declare -f ui_font_substitute); ui_font_substitute Tahoma" || true
  exit $status
fi

# The run switches an English session to Japanese; Wine's Tahoma has no
# Japanese glyphs and its bold face is not linked to a CJK font, so the
# UI face is a CJK font with Latin letters for this run.
. "$(dirname "$0")/ui-font.sh"
ui_font_substitute "WenQuanYi Micro Hei"

fail() { echo "FAIL: $*"; exit 1; }

wine "$exe" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

# Visible top-level windows, one id a line.
windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort || true; }
alive() { xdotool getwindowname "$1" >/dev/null 2>&1 && [ -n "$(xdotool search --onlyvisible --name '' 2>/dev/null | grep -x "$1" || true)" ]; }

main=""
for _ in $(seq 1 150); do
  main=$(xdotool search --name ' - V1\.0\.9$' 2>/dev/null | head -n1 || true)
  [ -n "$main" ] && break
  kill -0 $pid 2>/dev/null || fail "Plovex ended before its window appeared"
  sleep 0.2
done
[ -n "$main" ] || fail "no main window"
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$main")"
MAINX=$X MAINY=$Y MAINW=$WIDTH

# Clicks a point of the main window (window coordinates).
click_main() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
# Title bar buttons: 28 px wide from the right edge after a 6 px inset,
# in the order skin, language, About, minimise, maximise, close.
button_x() { echo $((MAINW - 6 - 28 * $1 - 14)); }

# Waits for one new visible window after the given list and prints it.
new_window() {
  local before=$1 w=""
  for _ in $(seq 1 50); do
    w=$(comm -13 <(echo "$before") <(windows) | head -n1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.2
  done
  return 1
}
gone() {
  for _ in $(seq 1 50); do
    alive "$1" || return 0
    sleep 0.2
  done
  return 1
}
shot() { sleep 0.8; import -window root -crop "$(xdotool getwindowgeometry "$1" | awk '/Geometry/{g=$2} /Position/{split($2,p,","); pos=p[1]"+"p[2]} END{print g"+"pos}')" "$outdir/$2"; echo "screenshot: $outdir/$2"; }
alt_f4() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key --window "$1" alt+F4; }

import -window "$main" "$outdir/main-en.png"

# About: opened by its button, closed by Alt+F4; the main window stays.
before=$(windows)
click_main "$(button_x 3)" 20
about=$(new_window "$before") || fail "the About dialog did not open"
shot "$about" dialog-about.png
alt_f4 "$about"
gone "$about" || fail "Alt+F4 did not close the About dialog"
alive "$main" || fail "Alt+F4 on the About dialog closed the main window"
echo "About: opened and closed"

# Language: choose Japanese (third option), the main window follows.
before=$(windows)
click_main "$(button_x 4)" 20
lan=$(new_window "$before") || fail "the language dialog did not open"
shot "$lan" dialog-language-en.png
# Options: 36 px title, 12 px inset, 32 px rows with 4 px between them.
xdotool mousemove --window "$lan" 60 $((36 + 12 + 2 * 36 + 16)) click 1
want="プリンターのセットアップ - V1.0.9"
for _ in $(seq 1 50); do
  [ "$(xdotool getwindowname "$main")" = "$want" ] && break
  sleep 0.2
done
[ "$(xdotool getwindowname "$main")" = "$want" ] || fail "main window named '$(xdotool getwindowname "$main")' after choosing Japanese"
alive "$lan" || fail "the language dialog closed when a language was chosen"
shot "$lan" dialog-language-ja.png
alt_f4 "$lan"
gone "$lan" || fail "Alt+F4 did not close the language dialog"
alive "$main" || fail "Alt+F4 on the language dialog closed the main window"
sleep 0.5
import -window "$main" "$outdir/main-ja.png"
echo "Language: switched to Japanese"

# Skin chooser: below its button; a colour applies; a click elsewhere closes it.
before=$(windows)
click_main "$(button_x 5)" 20
skin=$(new_window "$before") || fail "the skin chooser did not open"
shot "$skin" skin-chooser.png
eval "$(xdotool getwindowgeometry --shell "$skin")"
[ "$Y" -gt "$MAINY" ] && [ $((X + WIDTH)) -gt $((MAINX + MAINW / 2)) ] || fail "skin chooser at $X,$Y is not below the skin button"
xdotool mousemove --window "$skin" 145 20 click 1   # the colour tab
sleep 0.3
xdotool mousemove --window "$skin" 100 60 click 1   # the third colour
sleep 0.3
click_main 60 150
gone "$skin" || fail "the skin chooser stayed open after a click on the main window"
alive "$main" || fail "the main window went with the skin chooser"
import -window "$main" "$outdir/main-skin.png"
echo "Skin chooser: opened, applied a colour, closed"

# Add-port dialog: from the wizard's port list page (COM port, model
# page, port list page). Its add button is left alone: the Local Port
# monitor's own dialog would block an unattended run.
click_main 405 374     # next: the port type page
sleep 0.5
click_main 280 163     # COM port
sleep 0.3
click_main 405 374     # next: the model page
sleep 0.5
click_main 405 374     # next: the port list page
sleep 0.5
before=$(windows)
click_main 298 329     # add a port
addport=$(new_window "$before") || fail "the add-port dialog did not open"
shot "$addport" dialog-add-port.png
alt_f4 "$addport"
gone "$addport" || fail "Alt+F4 did not close the add-port dialog"
alive "$main" || fail "Alt+F4 on the add-port dialog closed the main window"
echo "Add-port: opened and closed"

# Close the main window; the program ends with exit code 0.
click_main "$(button_x 0)" 20
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
