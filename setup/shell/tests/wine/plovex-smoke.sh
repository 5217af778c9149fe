#!/usr/bin/env bash
# Starts Plovex.exe under Wine in a virtual X display with the user
# interface language of LANG, waits for the main window by its caption,
# takes a screenshot, clicks the window's close button and expects the
# program to end with exit code 0.
#   plovex-smoke.sh <wine-run.sh> <prefix> <Plovex.exe> <screenshot.png> <LANG> <caption>
# The toolkit's wine-run.sh prepares the prefix (the UI face and font
# links for this LANG); the script then runs itself again inside a virtual
# X display to drive the window.
set -euo pipefail
runner=$1 prefix=$2 exe=$3 shot=$4 lang=$5 caption=$6
# Wine takes the UI language from LC_ALL when no glibc locale of that
# name is installed, so set both.
export LANG=$lang LC_ALL=$lang WINEDEBUG=-all
. "$(dirname "$runner")/wine-arch.sh"
wine_arch_for "$exe" "$prefix"

if [ -z "${PLOVEX_SMOKE_INNER:-}" ]; then
  "$runner" --prefix "$prefix" --prepare
  export WINEPREFIX=$(cd "$prefix" && pwd) PLOVEX_SMOKE_INNER=1
  status=0
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@" || status=$?
  wineserver -w || true
  exit $status
fi

. "$(dirname "$0")/wine-languages.sh"
id=smoke english=""
start_plovex
wid=$main
sleep 0.5   # with start_plovex's second: let the first paint finish
import -window root "$shot"
echo "screenshot: $shot"

# The close button sits 14 px from the right and top edges of the
# 28x28 button in the title bar's right end (6 px inset).
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" $((WIDTH - 6 - 14)) 20 click 1
for _ in $(seq 1 75); do
  if ! kill -0 $pid 2>/dev/null; then
    trap - EXIT
    wait $pid && rc=0 || rc=$?
    echo "exit code $rc"
    exit $rc
  fi
  sleep 0.2
done
echo "Plovex did not end after its close button was clicked"
exit 1
