#!/usr/bin/env bash
# Runs one Windows program under wine64 in a fresh prefix copied from the
# template, so that no test sees another's registry or files. Needs an X display
# (Wine makes no window, not even a hidden one, without one); starts its own
# Xvfb when DISPLAY is not set. The prefix is removed afterwards unless
# MOSSGATE_KEEP_PREFIX is set. Exit status: the program's (low 8 bits).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
. "$here/wine-env.sh"
template=$("$here/template-prefix.sh") || exit 125
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-prefix.XXXXXX")
export WINEPREFIX
cp -a "$template/." "$WINEPREFIX/"
warm_prefix
"$WINELOADER" "$@"
status=$?
stop_prefix
if [ -z "${MOSSGATE_KEEP_PREFIX:-}" ]; then
    rm -rf "$WINEPREFIX"
else
    echo "prefix kept: $WINEPREFIX" >&2
fi
exit $status
