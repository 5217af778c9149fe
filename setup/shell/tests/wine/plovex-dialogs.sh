#!/usr/bin/env bash
# Drives Plovex.exe's small windows under Wine in a virtual X display, once
# per user interface language (one program start each): the About and
# language dialogs open from the main window's title bar and Alt+F4 closes
# only the dialog (Esc too), and the add-port dialog opens from the
# wizard's port list page. The English run also uses the skin chooser,
# the keyboard on the main window (Enter is Next, Esc ends the program),
# the language dialog at 150 %, and chooses
# Japanese in the language dialog (the main window follows). Every
# language shows the focus mark after Tab at 100, 125 and 150 %. The languages
# come from the build (PLOVEX_LANGUAGES, see wine-languages.sh).
# Screenshots of every window go to OUTDIR as <language>-<window>.png and
# are searched for empty glyph boxes (glyph-boxes.py).
# The runner picks each language's UI face (wine-run.sh).
#   plovex-dialogs.sh <wine-run.sh> <prefix> <Plovex.exe> <OUTDIR> [language ids...]
set -euo pipefail
runner=$1 prefix=$2 exe=$3 outdir=$4
shift 4
export WINEDEBUG=-all
. "$(dirname "$runner")/wine-arch.sh"
wine_arch_for "$exe" "$prefix"
. "$(dirname "$0")/wine-languages.sh"

if [ -z "${PLOVEX_DIALOGS_INNER:-}" ]; then run_languages PLOVEX_DIALOGS_INNER "$0" "$@"; fi

id=$1 caption=$2 english=${3:-}
start_plovex
alive() { xdotool getwindowname "$1" >/dev/null 2>&1 && [ -n "$(xdotool search --onlyvisible --name '' 2>/dev/null | grep -x "$1" || true)" ]; }
eval "$(xdotool getwindowgeometry --shell "$main")"
MAINX=$X MAINY=$Y MAINW=$WIDTH

# Clicks a point of the main window (window coordinates).
click_main() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
# Title bar buttons: 28 px wide from the right edge after a 6 px inset,
# in the order close, maximise, minimise, About, language, skin.
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
shot() { sleep 0.6; import -window root -crop "$(xdotool getwindowgeometry "$1" | awk '/Geometry/{g=$2} /Position/{split($2,p,","); pos=p[1]"+"p[2]} END{print g"+"pos}')" "$outdir/$id-$2.png"; echo "screenshot: $outdir/$id-$2.png"; }
# Opens a dialog with a click on the main window and prints its id.
open_dialog() {
  local before
  before=$(windows)
  click_main "$1" "$2"
  new_window "$before"
}
close_dialog() {
  press "$1" "${3:-alt+F4}"
  gone "$1" || fail "${3:-alt+F4} did not close the $2"
  alive "$main" || fail "${3:-alt+F4} on the $2 closed the main window"
}

# Chooses a language by its code in an open language dialog and waits for
# the main window's caption in it; the dialog stays open.
choose_language() {
  local lan=$1 index caption
  index=$(language_index "$2")
  caption=$(language_caption "$2")
  # Options: 36 px title, 12 px inset, 32 px rows with 4 px between them.
  xdotool mousemove --window "$lan" 60 $((36 + 12 + index * 36 + 16)) click 1
  for _ in $(seq 1 50); do
    [ "$(xdotool getwindowname "$main")" = "$caption" ] && break
    sleep 0.2
  done
  [ "$(xdotool getwindowname "$main")" = "$caption" ] || fail "main window named '$(xdotool getwindowname "$main")' after choosing $2 (option $index)"
  alive "$lan" || fail "the language dialog closed when a language was chosen"
}

if [ "$name" != "$caption" ]; then  # started in English
  lan=$(open_dialog "$(button_x 4)" 20) || fail "the language dialog did not open"
  choose_language "$lan" "$id"
  close_dialog "$lan" "language dialog"
  sleep 0.3
fi
shot "$main" main

# The focus mark at every scale: from the scale button just clicked, Tab
# through the later scale buttons, Next, Cancel and the title bar's six
# buttons to the install card; the screenshot changes and holds the mark.
# Scale buttons: 44 px wide from a 16 px inset, in the bar 350-400 px down.
scale=100
set_scale() {
  click_main $(((38 + 44 * ($1 - 100) / 25) * scale / 100)) $((375 * scale / 100))
  scale=$1
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$main")"
  [ "$WIDTH" = $((560 * scale / 100)) ] || fail "the main window is $WIDTH wide at $scale %"
}
focus_marks() {
  local s changed
  for s in 100 125 150; do
    set_scale $s
    shot "$main" main-$s
    for _ in $(seq 1 $((11 - (s - 100) / 25))); do press "$main" Tab; done
    shot "$main" main-$s-focus
    changed=$(compare -metric AE "$outdir/$id-main-$s.png" "$outdir/$id-main-$s-focus.png" null: 2>&1 || true)
    [ "$changed" != 0 ] || fail "Tab showed no focus mark at $s %"
    rm -f "$outdir/$id-main-$s.png"
  done
  set_scale 100
  echo "Keyboard: focus mark shown at 100, 125 and 150 %"
}
# English first checks that no hover highlight is left behind, which a
# focus mark (shown from the first Tab on) would hide.
[ "$id" = en ] || focus_marks

# About: opened by its button, closed by Alt+F4; the main window stays.
about=$(open_dialog "$(button_x 3)" 20) || fail "the About dialog did not open"
shot "$about" about
close_dialog "$about" "About dialog" Escape
echo "About: opened and closed with Esc"

# Language: every language in its own script besides the current one.
lan=$(open_dialog "$(button_x 4)" 20) || fail "the language dialog did not open"
shot "$lan" language
close_dialog "$lan" "language dialog" Escape
echo "Language: opened and closed with Esc"

if [ "$id" = en ]; then
  # Skin chooser: below its button; a colour applies; a click elsewhere closes it.
  skin=$(open_dialog "$(button_x 5)" 20) || fail "the skin chooser did not open"
  shot "$skin" skin-chooser
  eval "$(xdotool getwindowgeometry --shell "$skin")"
  [ "$Y" -gt "$MAINY" ] && [ $((X + WIDTH)) -gt $((MAINX + MAINW / 2)) ] || fail "skin chooser at $X,$Y is not below the skin button"
  xdotool mousemove --window "$skin" 145 20 click 1   # the colour tab
  sleep 0.3
  xdotool mousemove --window "$skin" 100 60 click 1   # the third colour
  sleep 0.3
  click_main 60 150
  gone "$skin" || fail "the skin chooser stayed open after a click on the main window"
  alive "$main" || fail "the main window went with the skin chooser"
  shot "$main" main-skin
  echo "Skin chooser: opened, applied a colour, closed"
  # Esc and Alt+F4 close the chooser only, like a menu.
  for keys in Escape alt+F4; do
    skin=$(open_dialog "$(button_x 5)" 20) || fail "the skin chooser did not open again"
    press "$skin" "$keys"
    gone "$skin" || fail "$keys did not close the skin chooser"
    alive "$main" || fail "$keys on the skin chooser closed the main window"
  done
  echo "Skin chooser: closed with Esc and with Alt+F4"
  # Its own button closes it again (the press takes the focus from it
  # first), and so does its close button; no second chooser opens.
  for way in button close; do
    skin=$(open_dialog "$(button_x 5)" 20) || fail "the skin chooser did not open again"
    before=$(windows)
    eval "$(xdotool getwindowgeometry --shell "$skin")"
    if [ $way = button ]; then click_main "$(button_x 5)" 20; else xdotool mousemove --window "$skin" $((WIDTH - 24)) 20 click 1; fi
    gone "$skin" || fail "the skin chooser stayed open after a click on its $way"
    sleep 0.5
    [ -z "$(comm -13 <(echo "$before") <(windows))" ] || fail "a click on the skin chooser's $way opened another window"
  done
  echo "Skin chooser: closed by its button and by its close button"

  # A title bar button clicked to open a dialog must not stay highlighted
  # once the dialog is gone and the mouse is elsewhere.
  about_button() {
    import -window root -crop "24x24+$((MAINX + $(button_x 3) - 12))+$((MAINY + 8))" "$outdir/$id-about-button-$1.png"
  }
  xdotool mousemove --window "$main" 280 320   # a blank point of the start page
  sleep 0.5
  about_button before
  about=$(open_dialog "$(button_x 3)" 20) || fail "the About dialog did not open"
  xdotool mousemove --window "$about" 40 60
  sleep 0.3
  close_dialog "$about" "About dialog"
  sleep 0.8
  about_button after
  changed=$(compare -metric AE "$outdir/$id-about-button-before.png" "$outdir/$id-about-button-after.png" null: 2>&1 || true)
  [ "$changed" = 0 ] || fail "the About button stayed highlighted after its dialog closed ($changed pixels differ)"
  rm -f "$outdir/$id-about-button-before.png" "$outdir/$id-about-button-after.png"
  echo "Hover: no highlight left after the About dialog"

  # At 150 % the language dialog is 150 % too.
  set_scale 150
  lan=$(open_dialog "$(button_x 4 | awk -v w="$WIDTH" '{print w - (560 - $1) * 3 / 2}')" 30) || fail "the language dialog did not open at 150 %"
  eval "$(xdotool getwindowgeometry --shell "$lan")"
  [ "$WIDTH" = 480 ] || fail "the language dialog is $WIDTH wide over the window at 150 % (480 expected)"
  shot "$lan" language-150
  close_dialog "$lan" "language dialog" Escape
  set_scale 100
  echo "Language dialog at 150 %"
  focus_marks
fi

# Add-port dialog: from the wizard's port list page (COM port, model
# page, port list page). Its add button is left alone: the Local Port
# monitor's own dialog would block an unattended run.
if [ "$id" = en ]; then
  # Enter on the focused install card is the page's Next.
  click_main 150 150
  shot "$main" start
  press "$main" Return
  shot "$main" port-type
  changed=$(compare -metric AE "$outdir/$id-start.png" "$outdir/$id-port-type.png" null: 2>&1 || true)
  [ "$changed" != 0 ] || fail "Enter did not go on to the next page"
  rm -f "$outdir/$id-start.png"
else
  click_main 405 374     # next: the port type page
fi
sleep 0.5
click_main 150 212     # COM port
sleep 0.3
click_main 405 374     # next: the model page
sleep 0.5
click_main 405 374     # next: the port list page
sleep 0.5
addport=$(open_dialog 298 329) || fail "the add-port dialog did not open"
shot "$addport" add-port
close_dialog "$addport" "add-port dialog"
echo "Add-port: opened and closed"

if [ "$id" = en ]; then
  # Choosing Japanese repaints the main window and the open dialog in
  # Japanese.
  lan=$(open_dialog "$(button_x 4)" 20) || fail "the language dialog did not open"
  choose_language "$lan" ja
  shot "$lan" language-to-ja
  close_dialog "$lan" "language dialog"
  sleep 0.3
  shot "$main" main-to-ja
  echo "Language: switched to Japanese"
fi

# Close the main window (English: Esc, the page's Cancel); the program
# ends with exit code 0.
if [ "$id" = en ]; then press "$main" Escape; else click_main "$(button_x 0)" 20; fi
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
