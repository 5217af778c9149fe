#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual X display and returns its
# exit status.
#
#   wine-run.sh [--prefix DIR] [--timeout SECONDS] program.exe [args...]
#
#   wine-run.sh [--prefix DIR] --prepare     (prefix and fonts only)
#
# The prefix, 32-bit or 64-bit as the program is (default: <build dir>/wineprefix, found from the
# program's CMake build tree) is prepared once: booted, crash dialog off,
# Arial substituted by Liberation Sans, Tahoma copied into its Fonts folder.
# Fonts follow LANG: Wine's Tahoma has no Thai or CJK glyphs and Wine does
# not link Tahoma's bold face to another font, so the default UI face
# ("MS Shell Dlg", where the program's fonts start) is substituted by a
# face that covers the language (th: Loma; zh, ja, ko: WenQuanYi Micro
# Hei; others: Tahoma), linked to the other two for text in another
# script. Wine shapes any string holding Thai with the selected face's own
# glyphs, links ignored, so "Thai (ไทย)" or "タイ語 (ไทย)" would still show
# boxes: when fontTools is at hand the faces are first merged with Loma's
# Thai (mixed-font.py) into "Tahoma Thai" and "WenQuanYi Micro Hei Thai"
# (the Thai UI uses the latter), which then serve as the UI faces.
# Preparation is locked (flock), so concurrent callers are safe. The font
# settings are applied again whenever LANG changes, because Wine rewrites
# its font links for a new code page.
set -euo pipefail

prefix=""
prepare_only=0
limit=${WINE_RUN_TIMEOUT:-120}
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --prepare) prepare_only=1; shift ;;
    --) shift; break ;;
    -*) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $prepare_only = 1 ]; then
  [ -n "$prefix" ] || { echo "wine-run.sh: --prepare needs --prefix" >&2; exit 2; }
  exe=""
else
  if [ $# -lt 1 ]; then
    echo "usage: wine-run.sh [--prefix DIR] [--timeout SECONDS] program.exe [args...]" >&2
    exit 2
  fi
  exe=$1
  shift
  if [ ! -f "$exe" ]; then
    echo "wine-run.sh: $exe not found" >&2
    exit 2
  fi
fi

# Default prefix: next to the CMakeCache.txt above the program.
if [ -z "$prefix" ]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || dir=$(cd "$(dirname "$exe")" && pwd)
  prefix=$dir/wineprefix
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

# --prepare takes the architecture its caller chose.
. "$(dirname "$0")/wine-arch.sh"
if [ -n "$exe" ]; then wine_arch_for "$exe" "$prefix"; fi
export WINEPREFIX=$prefix WINEARCH=${WINEARCH:-win32} WINEDEBUG=-all WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LANG=${LANG:-C.UTF-8}

regfile=$prefix/quillet-settings.reg
wqy='wqy-microhei.ttc,WenQuanYi Micro Hei'
loma='Loma.ttf,Loma'
tahoma='tahoma.ttf,Tahoma'

# A REG_MULTI_SZ in REGEDIT4 form from its strings: the ANSI bytes, a NUL
# after each string and one at the end.
multi_sz() {
  local hex=""
  for entry in "$@"; do
    hex="$hex$(printf '%s' "$entry" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'),00,"
  done
  echo "hex(7):${hex}00"
}

fonts=$prefix/drive_c/windows/Fonts
tlwg=/usr/share/fonts/truetype/tlwg
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Builds the merged faces into the prefix once; without fontTools the
# plain faces are used.
build_mixed_fonts() {
  local py
  for py in python3 /usr/bin/python3; do
    "$py" -c 'import fontTools' 2>/dev/null && break
    py=""
  done
  [ -n "$py" ] && [ -f "$tlwg/Loma.ttf" ] || return 0
  merge_font "$py" tahoma-thai.ttf "Tahoma Thai" /usr/share/wine/fonts/tahoma.ttf "$tlwg/Loma.ttf"
  merge_font "$py" wqy-microhei-thai.ttf "WenQuanYi Micro Hei Thai" \
    /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$tlwg/Loma.ttf"
}

# Merges the given fonts into one file of the prefix's Fonts folder under
# a family name, unless it is there already.
merge_font() {
  local py=$1 file=$2 family=$3
  shift 3
  [ -f "$fonts/$file" ] && return 0
  "$py" "$here/mixed-font.py" "$fonts/$file" "$family" "$@" >/dev/null 2>&1 ||
    echo "wine-run.sh: could not build the font \"$family\"; the plain UI faces serve" >&2
}

# The UI face for a LANG value: a merged face when built.
ui_face() {
  case $1 in
    th*|zh*|ja*|ko*)
      if [ -f "$fonts/wqy-microhei-thai.ttf" ]; then echo "WenQuanYi Micro Hei Thai"
      else case $1 in th*) echo "Loma" ;; *) echo "WenQuanYi Micro Hei" ;; esac; fi ;;
    *)
      if [ -f "$fonts/tahoma-thai.ttf" ]; then echo "Tahoma Thai"; else echo "Tahoma"; fi ;;
  esac
}

write_reg() {
  local face
  face=$(ui_face "$LANG")
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    echo '"Arial"="Liberation Sans"'
    echo "\"MS Shell Dlg\"=\"$face\""
    echo "\"MS Shell Dlg 2\"=\"$face\""
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
    for f in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Microsoft Sans Serif" "Lucida Sans Unicode"; do
      echo "\"$f\"=$(multi_sz "$wqy" "$loma")"
    done
    echo "\"Tahoma Thai\"=$(multi_sz "$wqy")"
    echo "\"WenQuanYi Micro Hei\"=$(multi_sz "$loma" "$tahoma")"
    echo "\"Loma\"=$(multi_sz "$wqy" "$tahoma")"
  } >"$regfile"
}

# Imported twice in one display session: the first regedit run makes Wine
# write its own font links, the second overrides them.
apply_reg() {
  local win
  win=$(winepath -w "$regfile" 2>/dev/null || echo "$regfile")
  xvfb-run -a timeout 240 bash -c 'wine regedit /S "$1"; wineserver -w; wine regedit /S "$1"; wineserver -w' _ "$win" \
    </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
}

prepare() {
  if [ ! -f "$prefix/.quillet-booted" ]; then
    xvfb-run -a timeout 300 wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w || true
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run.sh: could not create the Wine prefix in $prefix" >&2
      return 1
    fi
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -f /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$prefix/.quillet-booted"
  fi
  build_mixed_fonts
  # Applied on a new prefix, LANG or setting.
  local stamp
  stamp="$LANG $(write_reg && md5sum <"$regfile")"
  if [ "$(cat "$prefix/.quillet-lang" 2>/dev/null || true)" != "$stamp" ]; then
    apply_reg
    printf '%s' "$stamp" >"$prefix/.quillet-lang"
  fi
}

exec 9>"$prefix.lock"
flock 9
prepare
flock -u 9
[ $prepare_only = 1 ] && exit 0

status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  timeout --kill-after=10 "$limit" wine "$exe" "$@" </dev/null || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
  echo "wine-run.sh: $exe timed out after $limit s" >&2
  wineserver -k || true
fi
# Lets the wineserver finish (it exits a few seconds after its last client).
wineserver -w || true
exit "$status"
