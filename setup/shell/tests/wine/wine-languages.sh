# Shared by plovex-dialogs.sh and plovex-pages.sh (sourced): the languages
# they walk, the outer loop that starts one virtual X display and one
# program run per language, and the start of a run up to the main window.
# Expects: runner, prefix, exe, outdir set; PLOVEX_VERSION_TEXT and
# PLOVEX_LANGUAGES exported for the language runs.

# The version the captions end with ("V1.0.9"), from the build.
version=${PLOVEX_VERSION_TEXT:-}

# The languages: the build's reading of the program's language table
# (setup/shell/languages.cmake writes it; ctest passes its path), one
# "code|LANG|LANGID|title" line each in the language dialog's order.
# Wine takes the UI language from LANG. It reports some locales under a
# LANGID the table does not list (es_ES as 0x0C0A, modern sort, where the
# table has 0x040A), so a run may start in English; it then chooses its
# language in the language dialog.
languages=${PLOVEX_LANGUAGES:-}

# A language's position in the language dialog (0-based) and its caption.
language_index() { awk -F'|' -v id="$1" '$1 == id { print NR - 1 }' "$languages"; }
language_caption() { echo "$(awk -F'|' -v id="$1" '$1 == id { print $4 }' "$languages") - $version"; }

# The outer run: each language (or those named in "$@") in a display of
# its own, with the runner setting that language's UI face and font
# links; then every screenshot, also of a failed run, is searched for
# empty glyph boxes. The script runs itself again as the inner run, with
# the variable named by $1 set, and the language's code, its caption and
# the English caption as arguments. Exits.
run_languages() {
  local inner=$1 script=$2
  shift 2
  [ -n "$version" ] || { echo "set PLOVEX_VERSION_TEXT to the program version, e.g. V1.0.9"; exit 1; }
  [ -r "$languages" ] || { echo "set PLOVEX_LANGUAGES to the build's setup/shell/tests/languages.txt"; exit 1; }
  local wanted
  for wanted in "$@"; do
    [ -n "$(language_index "$wanted")" ] || { echo "no language '$wanted' in $languages"; exit 1; }
  done
  mkdir -p "$outdir"
  rm -f "$outdir"/*.png
  WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
  export WINEPREFIX "$inner=1"
  local failed="" english id lang langid title
  english=$(language_caption en)
  while IFS='|' read -r -u 3 id lang langid title; do
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$id"; then continue; fi
    echo "== $id ($lang, $langid)"
    LANG=$lang LC_ALL=$lang "$runner" --prefix "$prefix" --prepare
    LANG=$lang LC_ALL=$lang xvfb-run -a -s "-screen 0 1280x1024x24" "$script" "$runner" "$prefix" "$exe" "$outdir" "$id" "$title - $version" "$english" ||
      failed="$failed $id"
    wineserver -w || true
  done 3<"$languages"
  python3 "$(dirname "$script")/glyph-boxes.py" "$outdir"/*.png || failed="$failed glyph-boxes"
  [ -z "$failed" ] || { echo "FAIL:$failed"; exit 1; }
  exit 0
}

# The inner run's start: Plovex in the background (pid), then its main
# window (main) with the caption expected for this language, or the
# English one when given, in name. Needs id, caption, english.
fail() { echo "FAIL ($id): $*"; exit 1; }
# Keys typed into a window as a keyboard does: focus it, then type (XTEST).
# Keys sent to the window itself (xdotool key --window) reach Wine 10 in
# a way that also ends the main window, and the key release then goes to
# a window the key press has closed, which stops xdotool.
press() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key "$2"; sleep 0.3; }
# Visible top-level windows, one id a line.
windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort || true; }
start_plovex() {
  wine "$exe" >/dev/null 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  # xdotool's name search sees the legacy WM_NAME, where text outside the
  # ANSI range turns into '?'; find the window by the version and compare
  # its UTF-8 name afterwards.
  main=""
  for _ in $(seq 1 600); do  # up to 2 minutes: a first start in a new prefix and code page is slow
    main=$(xdotool search --name ' - V[0-9][0-9.]*$' 2>/dev/null | head -n1 || true)
    [ -n "$main" ] && break
    kill -0 $pid 2>/dev/null || fail "Plovex ended before its window appeared"
    sleep 0.2
  done
  [ -n "$main" ] || fail "no main window"
  name=$(xdotool getwindowname "$main")
  [ "$name" = "$caption" ] || { [ -n "$english" ] && [ "$name" = "$english" ]; } || fail "main window named '$name', expected '$caption'"
  sleep 1
}
