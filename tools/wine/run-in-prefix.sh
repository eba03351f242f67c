#!/usr/bin/env bash
# Runs one Windows program in a fresh Wine prefix of the runtime MOSSGATE_RUNTIME
# (wine8, the default, or wow64: see runtime.sh), so that no test sees another's
# registry or files; the builds' cross-compiling emulator:
#   tools/wine/run-in-prefix.sh PROGRAM [ARGS...]
# PROGRAM is a Windows name (cmd, reg, ...) or a host path, relative to the
# current folder or absolute. The prefix is copied from the runtime's template
# (made once) into TMPDIR and removed afterwards, also when the run is
# interrupted. Exit status: the program's (low 8 bits); 125 when the runtime or
# the prefix is missing (the runtime's "unavailable" line is printed: never a
# silent skip); 77, with its one line, when this machine runs no 32-bit code and
# the runtime is wow64 (the tests take 77 as "not run").
#
#   MOSSGATE_PREFIX=DIR        use the prefix in DIR (made from the template when
#                              DIR is missing or empty) and keep it: several
#                              commands in one prefix, e.g. install, query, remove.
#   MOSSGATE_KEEP_PREFIX=1     keep the fresh prefix; its path is printed.
#   MOSSGATE_WINVER=NAME       the Windows version the prefix reports before the
#                              program starts (winecfg /v NAME: winxp, winxp64,
#                              vista, win7, win8, win81, win10, win11).
#   MOSSGATE_WOW64_BINDS=A:B   wow64: more host folders to show at the same paths.
#   MOSSGATE_TIMING=1          the time of the prefix copy, the start, the program.
#
#   tools/wine/run-in-prefix.sh --remove-prefix DIR
#                              ends a kept prefix's processes and removes it.
#
# Needs an X display (Wine makes no window, not even a hidden one, without one):
# starts its own Xvfb when DISPLAY is not set. Wine quotes an argument
# containing a space when it builds the Windows command line; pass an argument
# that must arrive unquoted as separate words.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/runtime.sh"
if [ $# -eq 0 ]; then
    sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
fi
runtime_require || runtime_exit_unavailable $?

if [ "$1" = --remove-prefix ]; then
    if [ $# -ne 2 ] || [ ! -f "$2/system.reg" ]; then
        echo "run-in-prefix: --remove-prefix needs a prefix folder" >&2
        exit 2
    fi
    runtime_share "$(dirname "$(realpath "$2")")"
    runtime_enter "$0" "$@"
    runtime_remove_prefix "$(realpath "$2")"
    exit 0
fi

with_display
# The program's own folder is shown to Wine too.
[ ! -f "$1" ] || runtime_share "$(dirname "$(realpath "$1")")"
if [ -n "${MOSSGATE_PREFIX:-}" ]; then
    MOSSGATE_PREFIX=$(realpath -m "$MOSSGATE_PREFIX")
    export MOSSGATE_PREFIX
    mkdir -p "$MOSSGATE_PREFIX" && runtime_share "$MOSSGATE_PREFIX"
fi
runtime_enter "$0" "$@"

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }
t0=$(now)
if [ -z "${MOSSGATE_PREFIX:-}" ]; then
    runtime_own_prefix prefix prefix || { echo "run-in-prefix: cannot make a prefix in ${TMPDIR:-/tmp}" >&2; exit 125; }
else
    prefix=$MOSSGATE_PREFIX
    on_exit 'runtime_stop "$prefix"'
    if [ -f "$prefix/system.reg" ]; then runtime_start "$prefix"; else runtime_new_prefix "$prefix"; fi ||
        { echo "run-in-prefix: the prefix $prefix does not start" >&2; exit 125; }
fi
if [ -n "${MOSSGATE_WINVER:-}" ]; then
    runtime_set_winver "$prefix" "$MOSSGATE_WINVER" ||
        { echo "run-in-prefix: winecfg /v $MOSSGATE_WINVER failed in $prefix" >&2; exit 125; }
fi
t1=$(now)
run_interruptible runtime_wine "$prefix" "$@"
status=$?
if [ -n "${MOSSGATE_TIMING:-}" ]; then
    echo "$MOSSGATE_RUNTIME: prefix $(seconds "$t0" "$t1") s, program $(seconds "$t1" "$(now)") s" >&2
fi
exit $status
