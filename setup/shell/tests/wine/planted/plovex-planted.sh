#!/usr/bin/env bash
# Plants DLLs and programs with the names the setup program loads and
# starts (each leaves a trace file when loaded or run: planted_dll.c,
# planted_exe.c) beside Plovex.exe and in its working folder, then
#   1. starts Plovex.exe from there until its window shows (the static
#      imports, GDI+ and the rich edit library are loaded by then) and
#      closes it;
#   2. runs the planted-files test program from the same folder, which
#      makes the engine's run-time loads and launches;
# and fails if any planted file left a trace, or a run did not complete.
#   plovex-planted.sh <wine-run.sh> <prefix> <Plovex.exe> <test.exe> <planted.dll> <planted.exe> <work dir>
#
# Wine takes its own built-in copy of a system DLL whatever the folder, so
# the planted names are set to "native first": Wine then looks for them
# along the search order the program has set, as Windows does for a DLL
# that is not one of its known DLLs.
set -euo pipefail
runner=$1 prefix=$2 plovex=$3 tester=$4 dll=$5 exe=$6 work=$7
export LANG=en_US.UTF-8 WINEDEBUG=-all
. "$(dirname "$runner")/wine-arch.sh"
wine_arch_for "$plovex" "$prefix"
unset LC_ALL
dlls="WINSPOOL.DRV gdiplus.dll Msftedit.dll bthprops.cpl"
programs="rundll32.exe certutil.exe"

if [ -z "${PLOVEX_PLANTED_INNER:-}" ]; then
  "$runner" --prefix "$prefix" --prepare
  rm -rf "$work"
  mkdir -p "$work/app" "$work/cwd"
  cp "$plovex" "$tester" "$work/app/"
  for folder in "$work/app" "$work/cwd"; do
    for name in $dlls; do cp "$dll" "$folder/$name"; done
    for name in $programs; do cp "$exe" "$folder/$name"; done
  done
  export WINEPREFIX=$(cd "$prefix" && pwd) PLOVEX_PLANTED_INNER=1
  # Under Wine every file belongs to the one user, so a staging folder left
  # by an earlier run would be refused as someone else's: start without.
  rm -rf "$WINEPREFIX/drive_c/Program Files/Drevon"
  export WINEDLLOVERRIDES="mscoree,mshtml=;winspool.drv,gdiplus,msftedit,bthprops.cpl=n,b"
  status=0
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@" || status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w || true
  traces=$(cd "$work" && find . -name '*.loaded' -o -name '*.ran' | sort)
  if [ -n "$traces" ]; then
    echo "planted files were loaded or started:"
    echo "$traces"
    status=1
  fi
  [ $status = 0 ] && echo "no planted file was loaded or started"
  exit $status
fi

cd "$work/cwd"
status=0

# 1. The program itself, up to its window.
wine "$work/app/$(basename "$plovex")" >/dev/null 2>&1 &
pid=$!
wid=""
for _ in $(seq 1 600); do
  wid=$(xdotool search --name ' - V[0-9][0-9.]*$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.2
done
if [ -z "$wid" ]; then
  echo "Plovex.exe did not show its window"
  status=1
else
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  xdotool mousemove --window "$wid" $((WIDTH - 6 - 14)) 20 click 1
  for _ in $(seq 1 75); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
fi
kill $pid 2>/dev/null || true
wineserver -k 2>/dev/null || true
wineserver -w || true

# 2. The engine's loads and launches.
timeout --kill-after=10 300 wine "$work/app/$(basename "$tester")" || status=$?
exit $status
