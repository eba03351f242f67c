#!/usr/bin/env bash
# The one test command: installs what is missing (packages, libcrypto, the WoW64
# runtime), builds the three builds and runs every test of each: native unit tests
# with sanitizers, the product's structural checks, and the Windows-side tests under
# both Wine runtimes (wow64: the i686 product and i686 test programs; wine8: the
# x86_64 twin and x86_64 test programs), each test in a prefix of its own.
# The counts come from CTest's own records (tools/lib/ctest_results.py).
#   tools/test-all.sh [CTEST OPTIONS]   e.g. -R gui: only those tests of each build
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/lib/common.sh
bash tools/bootstrap.sh || exit 1
tools/build-all.sh host win32 win64 || exit 1
tools/wine/template-prefix.sh >/dev/null || exit 1

records=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-test-all.XXXXXX")
on_exit 'rm -rf "$records"'
run_ctest() { # preset
    local preset=$1
    echo "== test $preset"
    ctest --preset "$preset" "${selection[@]}" --show-only=json-v1 >"$records/$preset.tests.json"
    ctest --preset "$preset" "${selection[@]}" "${no_tests[@]}" -j2 --output-junit "$records/$preset.xml"
    echo "$?" >"$records/$preset.status"
}
selection=("$@") no_tests=(--no-tests=error)
# A selection may leave a build without tests; the whole set never does.
[ $# -eq 0 ] || no_tests=()
run_ctest host
with_display --own
run_ctest win32
run_ctest win64

echo
# Where the machine runs no 32-bit code the wow64 tests end as not run, and say why.
not_run=()
no_32_bit_code=$MOSSGATE_CACHE/wow64-no-32-bit-code
[ ! -s "$no_32_bit_code" ] || not_run=(--wow64-not-run "$(cat "$no_32_bit_code")")
python3 tools/lib/ctest_results.py "${not_run[@]}" "$records" host win32 win64
