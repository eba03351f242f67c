#!/usr/bin/env bash
# The one test command: installs what is missing (packages, libcrypto, the WoW64
# runtime), builds the three builds and runs every test of each: native unit tests
# with sanitizers, the product's structural checks, and the Windows-side tests under
# both Wine runtimes (wow64: the i686 product and i686 test programs; wine8: the
# x86_64 twin and x86_64 test programs), each test in a prefix of its own.
# Where the host runs no 32-bit code the wow64 tests run in the emulated machine,
# all in one boot (tools/wow64/in-guest.sh); the win32 build's other tests on the host.
# The counts come from CTest's own records (tools/lib/ctest_results.py).
#   tools/test-all.sh [CTEST OPTIONS]   e.g. -R gui: only those tests of each build
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/wine/wow64-env.sh
bash tools/bootstrap.sh || exit 1
tools/build-all.sh host win32 win64 || exit 1
tools/wine/template-prefix.sh >/dev/null || exit 1

records=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-test-all.XXXXXX")
on_exit 'rm -rf "$records"'
run_ctest() { # preset [record name [ctest options]]
    local preset=$1 record=${2:-$1}
    shift $(($# < 2 ? $# : 2))
    echo "== test $record"
    ctest --preset "$preset" "${selection[@]}" "$@" --show-only=json-v1 >"$records/$record.tests.json"
    ctest --preset "$preset" "${selection[@]}" "$@" "${no_tests[@]}" -j2 --output-junit "$records/$record.xml"
    echo "$?" >"$records/$record.status"
}

# The win32 build's wow64 tests in one boot of the emulated machine, the rest here
# first: a wow64 test's fixture is made here (the signed product), not again there.
# Their time limits are stretched as theirs inside are (MOSSGATE_TIME_SCALE); two
# tests a processor, as much of their time is spent waiting for what they watch.
run_ctest_emulated() {
    local record=win32.emulated in_guest=(-L wow64 --fixture-exclude-setup '.*')
    run_ctest win32 win32 -LE wow64
    echo "== test $record: the wow64 tests in the emulated machine ($(guest_describe))"
    ctest --preset win32 "${selection[@]}" "${in_guest[@]}" --show-only=json-v1 >"$records/$record.tests.json"
    MOSSGATE_WOW64_BINDS=$records tools/wow64/in-guest.sh ctest --preset win32 "${selection[@]}" "${in_guest[@]}" \
        --timeout $((300 * ${MOSSGATE_GUEST_TIME_SCALE:-10})) -j$((2 * $(guest_cpus))) --output-junit "$records/$record.xml"
    echo "$?" >"$records/$record.status"
}
selection=("$@") no_tests=(--no-tests=error)
# A selection may leave a build without tests; the whole set never does.
[ $# -eq 0 ] || no_tests=()
run_ctest host
with_display --own
# Where even the emulated machine cannot be had, the wow64 tests end as not run,
# each saying why (wow64_require); the summary says it once.
presets=(host win32 win64) not_run=()
if [ "$(wow64_machine)" = emulated ]; then
    if guest_ready; then
        presets=(host win32 win32.emulated win64)
        run_ctest_emulated
    else
        not_run=(--wow64-not-run "$(wow64_require 2>&1 | sed 's/^wow64: not run here: //')")
        run_ctest win32
    fi
else
    run_ctest win32
fi
run_ctest win64

echo
python3 tools/lib/ctest_results.py "${not_run[@]}" "$records" "${presets[@]}"
