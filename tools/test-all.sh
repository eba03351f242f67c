#!/usr/bin/env bash
# The one test command: installs what is missing (packages, libcrypto, the WoW64
# runtime), builds the three builds and runs every test of each: native unit tests
# with sanitizers, the product's structural checks, and the Windows-side tests under
# both Wine runtimes (wow64: the i686 product and i686 test programs; wine8: the
# x86_64 twin and x86_64 test programs), each test in a prefix of its own.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/bootstrap.sh || exit 1
tools/build-all.sh host win32 win64 || exit 1
tools/wine/template-prefix.sh >/dev/null || exit 1

declare -A passed_in=() failed_in=()
passed=0 failed=0
count() { # label passed-or-failed
    [ -n "$1" ] || return 0
    if [ "$2" = passed ]; then
        passed_in[$1]=$((${passed_in[$1]:-0} + 1))
    else
        failed_in[$1]=$((${failed_in[$1]:-0} + 1))
    fi
}
run_ctest() {
    local preset=$1 log line name label
    shift
    echo "== test $preset"
    log=$(mktemp)
    "$@" ctest --preset "$preset" -j2 2>&1 | tee "$log"
    if ! grep -Eq 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log"; then
        failed=$((failed + 1))
        count "$preset" failed
    fi
    # Each test once, by its result line; runtime labels from CTest's own list.
    declare -A runtime_of=()
    for label in wine8 wow64; do
        while read -r name; do
            runtime_of[$name]=$label
        done < <(ctest --preset "$preset" -N -L "^$label\$" | sed -n 's/^ *Test *#[0-9]*: //p')
    done
    while read -r line; do
        name=$(sed -E 's/.*Test +#[0-9]+: ([^ ]+) .*/\1/' <<<"$line")
        if grep -q ' Passed ' <<<"$line"; then
            passed=$((passed + 1))
            count "${runtime_of[$name]:-}" passed
        else
            failed=$((failed + 1))
            count "${runtime_of[$name]:-}" failed
        fi
    done < <(grep -E '^ *[0-9]+/[0-9]+ Test +#' "$log")
    rm -f "$log"
}
run_ctest host
# Wine makes no window, not even a hidden one, without an X display.
run_ctest win32 xvfb-run -a -s "-screen 0 1280x1024x24"
run_ctest win64 xvfb-run -a -s "-screen 0 1280x1024x24"

echo
echo "all builds: $passed passed, $failed failed" \
     "(wine8: ${passed_in[wine8]:-0} passed, ${failed_in[wine8]:-0} failed;" \
     "wow64: ${passed_in[wow64]:-0} passed, ${failed_in[wow64]:-0} failed)"
[ "$failed" -eq 0 ]
