#!/usr/bin/env bash
# Sets up the machine (see setup.sh) and runs every test:
#   1. the host build's tests,
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. the Windows build's tests under Wine, on a virtual X display,
#   4. the end-to-end suite: the real program under Wine, driven through X.
# Ends with one summary line over all gtest cases; exits non-zero on any failure.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc)

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

logs=build/test-logs
mkdir -p "$logs"
rm -f "$logs"/*.log
status=0

trap 'scripts/wine-prefix.sh stop' EXIT

run_suite() {  # name, build folder, extra cmake arguments...
  local name=$1 folder=$2; shift 2
  echo "== $name"
  if ! cmake -S . -B "$folder" "$@" >"$logs/$name-configure.log" 2>&1 ||
     ! cmake --build "$folder" -j "$jobs" >"$logs/$name-build.log" 2>&1; then
    echo "$name: build failed, see $logs/$name-build.log"
    tail -n 30 "$logs/$name-configure.log" "$logs/$name-build.log"
    status=1
    return
  fi
  (cd "$folder" && $runner ctest --output-on-failure -V) >"$logs/$name.log" 2>&1 || status=1
  grep -E '(\[  PASSED  \]|\[  FAILED  \]|[0-9]+% tests passed)' "$logs/$name.log" | sed 's/^/   /'
  grep -q 'tests passed, 0 tests failed' "$logs/$name.log" ||
    { grep -E '\[  FAILED  \]|Failure|Error' "$logs/$name.log" | head -n 40 | cut -c1-300; status=1; }
}

runner=""
run_suite host build/host
run_suite sanitizers build/sanitizers -DQUERNWICK_SANITIZE=ON
# The Windows tests open windows and use the clipboard: Wine needs a display.
runner="$here/scripts/with-display.sh"
run_suite windows build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake

echo "== e2e"
bash scripts/e2e.sh >"$logs/e2e.log" 2>&1 || status=1
grep -E '^(PASS|FAIL)|^E2E:' "$logs/e2e.log" | sed 's/^/   /'
grep -q '^E2E: [0-9]* passed, 0 failed' "$logs/e2e.log" || { tail -n 30 "$logs/e2e.log"; status=1; }

passed=$(cat "$logs"/host.log "$logs"/sanitizers.log "$logs"/windows.log 2>/dev/null |
         sed -n 's/^.*\[  PASSED  \] \([0-9]*\) test.*/\1/p' | awk '{s+=$1} END {print s+0}')
failed=$(cat "$logs"/host.log "$logs"/sanitizers.log "$logs"/windows.log 2>/dev/null |
         sed -n 's/^.*\[  FAILED  \] \([0-9]*\) test.*/\1/p' | awk '{s+=$1} END {print s+0}')
passed=$((passed + $(sed -n 's/^E2E: \([0-9]*\) passed.*/\1/p' "$logs/e2e.log" | tail -n 1 | grep . || echo 0)))
failed=$((failed + $(sed -n 's/^E2E: [0-9]* passed, \([0-9]*\) failed.*/\1/p' "$logs/e2e.log" | tail -n 1 | grep . || echo 0)))
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "Tests: $passed passed, $failed failed"
exit $status
