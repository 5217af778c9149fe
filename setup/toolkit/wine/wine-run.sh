#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual X display and returns its
# exit status.
#
#   wine-run.sh [--prefix DIR] [--timeout SECONDS] program.exe [args...]
#
# The 32-bit prefix (default: <build dir>/wineprefix, found from the
# program's CMake build tree) is prepared once: booted, crash dialog off,
# Arial substituted by Liberation Sans, CJK font links to WenQuanYi Micro
# Hei, Tahoma copied into its Fonts folder. Preparation is locked (flock), so
# concurrent callers are safe. The font links are applied again whenever
# LANG changes, because Wine rewrites them for a new code page.
set -euo pipefail

prefix=""
limit=${WINE_RUN_TIMEOUT:-120}
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
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

# Default prefix: next to the CMakeCache.txt above the program.
if [ -z "$prefix" ]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || dir=$(cd "$(dirname "$exe")" && pwd)
  prefix=$dir/wineprefix
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LANG=${LANG:-C.UTF-8}

regfile=$prefix/quillet-settings.reg
write_reg() {
  local link='wqy-microhei.ttc,WenQuanYi Micro Hei'
  local hex
  # REG_MULTI_SZ in REGEDIT4 form: the ANSI bytes, NUL after the string and at the end.
  hex=$(printf '%s' "$link" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
  hex="$hex,00,00"
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    echo '"Arial"="Liberation Sans"'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
    for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Microsoft Sans Serif" "Lucida Sans Unicode"; do
      echo "\"$face\"=hex(7):$hex"
    done
  } >"$regfile"
}

apply_reg() {
  xvfb-run -a timeout 120 wine regedit /S "$(winepath -w "$regfile" 2>/dev/null || echo "$regfile")" </dev/null >/dev/null 2>&1 || true
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
  # Applied twice on a new prefix or LANG: the first regedit run makes
  # Wine write its own font links, the second overrides them.
  if [ "$(cat "$prefix/.quillet-lang" 2>/dev/null || true)" != "$LANG" ]; then
    write_reg
    apply_reg
    apply_reg
    printf '%s' "$LANG" >"$prefix/.quillet-lang"
  fi
}

exec 9>"$prefix.lock"
flock 9
prepare
flock -u 9

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
