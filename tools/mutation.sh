#!/usr/bin/env bash
# Mutation runs: do the tests notice a changed line? Each group mutates a seeded,
# evenly spread sample of its files with ../shared/tools/mutate.py (the team's
# tool, beside the checkout) and runs the tests that reach those files.
#   tools/mutation.sh core     [MAX [SEED]]  */portable/*.cpp, host build, native tests (120, 7)
#   tools/mutation.sh windows  [MAX [SEED]]  procedures/, common/win32/, package/, env/ outside
#                                            portable/: windows.unit, the DLL-planting test and
#                                            every scenario of the twin under wine8 (48, 18)
#   tools/mutation.sh app      [MAX [SEED]]  app/*.cpp (the entry point apart): the window's
#                                            scenarios and every GUI test under wine8 (16, 18)
# Each group keeps its copy in /tmp/mutate-GROUP, so a second run rebuilds only what
# changed. Last line: "mutation score: K killed of N (P%), S survived, B stillborn".
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tool=../shared/tools/mutate.py
[ -f "$tool" ] || { echo "mutation: $tool not found beside the checkout" >&2; exit 2; }
group=${1:-}
xvfb="xvfb-run -a -s '-screen 0 1280x1024x24'"
# A test that normally ends within a minute and hangs under a mutant counts as failed
# after this, instead of holding the run for the whole preset's limit.
hang='--timeout 150'
# One failing test kills the mutant: stop there instead of running the rest.
first='--stop-on-failure'
# The whole preset: the tests start helpers of their own (launcher, probes, the user's process).
windows_build='cmake --preset win64 >/dev/null 2>&1 && cmake --build --preset win64 >/dev/null 2>&1'
case $group in
core)
    max=${2:-120} seed=${3:-7}
    build='cmake --preset host >/dev/null 2>&1 && cmake --build --preset host >/dev/null 2>&1'
    tests="ctest --preset host -E fuzz -j2 --timeout 120 $first >/dev/null 2>&1"
    files=$(git ls-files '*/portable/*.cpp')
    ;;
windows)
    max=${2:-48} seed=${3:-18}
    build=$windows_build
    tests="$xvfb ctest --preset win64 -j2 $hang $first -R 'windows.(unit|dll_planting)|scenario[.]' >/dev/null 2>&1"
    files=$(git ls-files 'procedures/*.cpp' 'common/win32/*.cpp' 'package/*.cpp' 'env/*.cpp' | grep -v /portable/)
    ;;
app)
    max=${2:-16} seed=${3:-18}
    build=$windows_build
    tests="$xvfb ctest --preset win64 -j2 $hang $first -R 'windows.unit|scenario.(AccessibleWindow|UnstartableSetupProgram|SingleInstance|CommandLineWithoutAction)|gui.(ready|clicks|install|no-shell|remove|failed-removal|no-picture|command-line-install|command-line-failed-removal|startup-error)' >/dev/null 2>&1"
    files=$(git ls-files 'app/*.cpp' | grep -v -e /portable/ -e app/main.cpp)
    ;;
*)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
# shellcheck disable=SC2086 # one word a file
exec python3 "$tool" --max "$max" --seed "$seed" --keep "/tmp/mutate-$group" --timeout 900 \
    --build "$build" --test "$tests" $files
