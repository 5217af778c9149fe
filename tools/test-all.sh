#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the native build, the Debian package and a source install round trip
# (installed, used and removed again), the same tests under ASan+UBSan, the
# setup program's tests under TSan, the fuzz targets, and the Windows cross
# build with its tests under Wine (from a 64-bit build where the machine
# runs no 32-bit code). Beside the Windows tests, which mostly wait on
# their windows, tools/trixie.sh does the native build and tests, the
# package round trips and the arm64 packages and tests on Debian 13
# (QUILLET_DEBIAN13=0 leaves it out). Ends with each stage's time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}

times=()
stage_name=""
stage() {
  local now=$SECONDS
  if [ -n "$stage_name" ]; then times+=("$(printf '%5d s  %s' $((now - stage_start)) "$stage_name")"); fi
  stage_name=$1
  stage_start=$now
  [ -n "$1" ] && echo "== $1"
  return 0
}
debian13=""
debian13_start=""
summary() {
  local status=$?
  if [ -n "$debian13" ] && kill -0 "$debian13" 2>/dev/null; then
    kill -TERM "$debian13" 2>/dev/null || true
    wait "$debian13" 2>/dev/null || true
  fi
  stage ""
  echo "== time per stage"
  printf '%s\n' "${times[@]}"
  if [ -n "$debian13_start" ] && [ -f build/debian13.log ]; then
    # Its log's last write is when it ended.
    printf '%5d s  %s\n' $(($(stat -c %Y build/debian13.log) - debian13_start)) "Debian 13 (beside the Windows stage)"
  fi
  printf '%5d s  all (%s)\n' "$SECONDS" "$([ $status = 0 ] && echo passed || echo FAILED)"
}
trap summary EXIT
# A run stopped by a signal is a failed run, also in the summary.
trap 'exit 130' INT
trap 'exit 143' TERM

stage "dependencies"
tools/deps.sh all

stage "native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

stage "Debian package and source install: build, install, print, remove"
tools/package-test.sh </dev/null

stage "sanitizer build (ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_WERROR=ON
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE slow

stage "thread sanitizer (the setup program's toolkit, engine and shell tests)"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_TSAN=ON -DQUILLET_WERROR=ON
cmake --build build/tsan -j "$jobs" --target toolkit_tests engine_tests shell_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -L setup --output-on-failure -j "$jobs"

stage "fuzzing (libFuzzer with ASan+UBSan, bounded time per target)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLET_SANITIZE=ON -DQUILLET_FUZZ=ON -DQUILLET_FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
cmake --build build/fuzz -j "$jobs" --target fuzz_job fuzz_options setup_fuzz_zip setup_fuzz_markup setup_fuzz_language
ctest --test-dir build/fuzz -L fuzz --output-on-failure -j "$jobs"

if [ "${QUILLET_DEBIAN13:-1}" != 0 ]; then
  echo "== Debian 13 (tools/trixie.sh), beside the Windows stage: its output follows at the end"
  debian13_start=$(date +%s)
  tools/trixie.sh </dev/null >build/debian13.log 2>&1 &
  debian13=$!
fi

stage "Windows cross build, tests under Wine"
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLET_WERROR=ON
cmake --build build/win32 -j "$jobs"
if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
  ctest --test-dir build/win32 --output-on-failure -j 1
else
  # This machine's kernel runs no 32-bit code, so no 32-bit Wine: the
  # 32-bit build's checks that need no Wine run, and the Windows tests run
  # from a 64-bit build of the same sources under Wine's 64-bit loader.
  echo "== this machine runs no 32-bit code: the Windows tests run from a 64-bit build"
  ctest --test-dir build/win32 --output-on-failure -j 1 -R 'plovex_imports|win32_devices_compile_64|plovex_links_no_test_doubles'
  tools/deps.sh wine64
  cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DQUILLET_WERROR=ON
  cmake --build build/win64 -j "$jobs"
  ctest --test-dir build/win64 --output-on-failure -j 1
fi

if [ -n "$debian13" ]; then
  stage "waiting for Debian 13"
  status=0
  wait "$debian13" || status=$?
  debian13=""
  cat build/debian13.log
  if [ $status != 0 ]; then
    echo "FAIL: the Debian 13 stage (tools/trixie.sh) failed" >&2
    exit $status
  fi
fi
