# Shared by plovex-dialogs.sh and plovex-pages.sh (sourced): the languages
# they walk, the outer loop that starts one virtual X display and one
# program run per language, and the start of a run up to the main window.
# Expects: runner, prefix, exe, outdir set; PLOVEX_VERSION_TEXT exported
# for the language runs.

# The version the captions end with ("V1.0.9"), from the build.
version=${PLOVEX_VERSION_TEXT:-}

# id, LANG (Wine takes the UI language from it; pt_PT is 0x0816), the
# caption at start, and for a language Plovex does not start in, the
# option to choose in the language dialog and the caption after it.
# Wine reports es_ES as 0x0C0A (modern sort), while Plovex lists Spanish
# as 0x040A, so the Spanish run starts in English and switches (a start
# in Spanish is taken as well).
cases=(
  "en|en_US.UTF-8|Printer Setup - $version"
  "zh|zh_CN.UTF-8|打印机安装程序 - $version"
  "es|es_ES.UTF-8|Printer Setup - $version|1|Instalación de la impresora - $version"
  "ja|ja_JP.UTF-8|プリンターのセットアップ - $version"
  "ko|ko_KR.UTF-8|프린터 설치 - $version"
  "pt|pt_PT.UTF-8|Instalação da impressora - $version"
  "th|th_TH.UTF-8|ติดตั้งเครื่องพิมพ์ - $version"
)

# The outer run: each language (or those named in "$@") in a display of
# its own, with the runner setting that language's UI face and font
# links; then every screenshot, also of a failed run, is searched for
# empty glyph boxes. The script runs itself again as the inner run, with
# the variable named by $1 set. Exits.
run_languages() {
  local inner=$1 script=$2
  shift 2
  [ -n "$version" ] || { echo "set PLOVEX_VERSION_TEXT to the program version, e.g. V1.0.9"; exit 1; }
  mkdir -p "$outdir"
  rm -f "$outdir"/*.png
  WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
  export WINEPREFIX "$inner=1"
  local failed="" c id lang caption pick want
  for c in "${cases[@]}"; do
    IFS='|' read -r id lang caption pick want <<<"$c"
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$id"; then continue; fi
    echo "== $id ($lang)"
    LANG=$lang LC_ALL=$lang "$runner" --prefix "$prefix" --prepare
    LANG=$lang LC_ALL=$lang xvfb-run -a -s "-screen 0 1280x1024x24" "$script" "$runner" "$prefix" "$exe" "$outdir" "$id" "$caption" "$pick" "$want" ||
      failed="$failed $id"
    wineserver -w || true
  done
  python3 "$(dirname "$script")/glyph-boxes.py" "$outdir"/*.png || failed="$failed glyph-boxes"
  [ -z "$failed" ] || { echo "FAIL:$failed"; exit 1; }
  exit 0
}

# The inner run's start: Plovex in the background (pid), then its main
# window (main) with the caption expected for this language (name).
# Needs id, caption, pick, want.
fail() { echo "FAIL ($id): $*"; exit 1; }
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
  [ "$name" = "$caption" ] || { [ -n "$pick" ] && [ "$name" = "$want" ]; } || fail "main window named '$name', expected '$caption'"
  sleep 1
}
