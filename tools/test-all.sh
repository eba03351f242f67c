#!/usr/bin/env bash
# The one test command: installs what is missing, builds the three builds and runs
# every test of each (native unit tests with sanitizers, the product's structural
# check, and the twin's tests under Wine and Xvfb, each in its own prefix).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/bootstrap.sh || exit 1
tools/build-all.sh host win32 win64 || exit 1
tools/wine/template-prefix.sh >/dev/null || exit 1

passed=0 failed=0
run_ctest() {
    local preset=$1; shift
    echo "== test $preset"
    local log
    log=$(mktemp)
    "$@" ctest --preset "$preset" -j2 2>&1 | tee "$log"
    local summary
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        return
    fi
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}
run_ctest host
run_ctest win32
# Wine makes no window, not even a hidden one, without an X display.
run_ctest win64 xvfb-run -a -s "-screen 0 1280x1024x24"

echo
echo "all builds: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
