#!/usr/bin/env bash
# Runs one Windows program under the WoW64 runtime's Wine 10 (i686 and x86_64
# programs alike), the twin of run-in-prefix.sh:
#   tools/wine/run-in-wow64-prefix.sh PROGRAM [ARGS...]
# PROGRAM is a Windows name (cmd, reg, ...) or a host path, relative to the
# current folder or absolute. By default a fresh prefix is copied from the
# template (made once) into TMPDIR and removed afterwards unless
# MOSSGATE_KEEP_PREFIX is set. Exit status: the program's (low 8 bits); 125 when
# the runtime or the prefix is missing (the runtime's "unavailable" line is
# printed: never a silent skip).
#
#   MOSSGATE_WOW64_PREFIX=DIR  use the prefix in DIR (made from the template when
#                              DIR is missing or empty) and keep it: several
#                              commands in one prefix, e.g. install, query, remove.
#                              DIR is shown in the chroot at the same path.
#   MOSSGATE_WINVER=NAME       the Windows version the prefix reports before the
#                              program starts (winecfg /v NAME: winxp, winxp64,
#                              vista, win7, win8, win81, win10 (default), win11).
#   MOSSGATE_WOW64_BINDS=A:B   more host folders to show at the same paths.
#
#   tools/wine/run-in-wow64-prefix.sh --remove-prefix DIR
#                              ends a kept prefix's processes and removes it with
#                              its server folder in /tmp.
#
# Needs an X display (Wine makes no window, not even a hidden one, without one):
# starts its own Xvfb when DISPLAY is not set. Runs in a private mount and PID
# namespace (see wow64-env.sh): its mounts and its Wine processes end with it.
# Wine quotes an argument containing a space when it builds the Windows command
# line; pass an argument that must arrive unquoted as separate words.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wow64-env.sh"
if [ $# -eq 0 ]; then
    sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
fi
wow64_require || exit 125
add_bind() {
    MOSSGATE_WOW64_BINDS=${MOSSGATE_WOW64_BINDS:+$MOSSGATE_WOW64_BINDS:}$1
    export MOSSGATE_WOW64_BINDS
}

if [ "$1" = --remove-prefix ]; then
    if [ $# -ne 2 ] || [ ! -f "$2/system.reg" ]; then
        echo "wow64: --remove-prefix needs a prefix folder" >&2
        exit 2
    fi
    add_bind "$(dirname "$(realpath "$2")")"
    wow64_enter "$0" "$@"
    wow64_remove_prefix "$(realpath "$2")"
    exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
# The program's own folder is shown to Wine too.
[ ! -f "$1" ] || add_bind "$(dirname "$(realpath "$1")")"
if [ -n "${MOSSGATE_WOW64_PREFIX:-}" ]; then
    MOSSGATE_WOW64_PREFIX=$(realpath -m "$MOSSGATE_WOW64_PREFIX")
    export MOSSGATE_WOW64_PREFIX
    mkdir -p "$MOSSGATE_WOW64_PREFIX" && add_bind "$MOSSGATE_WOW64_PREFIX"
fi
wow64_enter "$0" "$@"

if [ -n "${MOSSGATE_WOW64_PREFIX:-}" ]; then
    prefix=$MOSSGATE_WOW64_PREFIX
    keep=1
else
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-wow64.XXXXXX") || exit 125
    keep=${MOSSGATE_KEEP_PREFIX:-}
fi
mkdir -p "$prefix" || exit 125
if [ ! -d "$WOW64_ROOT$prefix" ] || [ "$(stat -c %d:%i "$prefix")" != "$(stat -c %d:%i "$WOW64_ROOT$prefix")" ]; then
    echo "wow64: the prefix $prefix is not in a folder shown in the chroot (/tmp, TMPDIR, the repository, MOSSGATE_WOW64_BINDS)" >&2
    exit 125
fi

finish() {
    if [ -z "$keep" ]; then
        wow64_remove_prefix "$prefix"
    else
        wow64_stop "$prefix"
    fi
    if [ -n "$keep" ] && [ -z "${MOSSGATE_WOW64_PREFIX:-}" ]; then
        echo "prefix kept: $prefix" >&2
    fi
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }
t0=$(now)
if [ ! -f "$prefix/system.reg" ]; then
    wow64_new_prefix "$prefix" || { echo "wow64: cannot make the prefix $prefix" >&2; exit 125; }
fi
t1=$(now)
wow64_warm "$prefix" || { echo "wow64: the prefix $prefix does not start" >&2; exit 125; }
if [ -n "${MOSSGATE_WINVER:-}" ]; then
    wow64_set_winver "$prefix" "$MOSSGATE_WINVER" ||
        { echo "wow64: winecfg /v $MOSSGATE_WINVER failed in $prefix" >&2; exit 125; }
fi
t2=$(now)
wow64_wine "$prefix" "$@"
status=$?
if [ -n "${MOSSGATE_WOW64_TIMING:-}" ]; then
    echo "wow64: prefix $(seconds "$t0" "$t1") s, start $(seconds "$t1" "$t2") s, program $(seconds "$t2" "$(now)") s" >&2
fi
exit $status
