# Sourced by the Wine harness scripts: how Wine is started on these machines.
# The 64-bit loader is called directly (wine32 cannot run here), quietly, and
# without the install dialogs of a first start.
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${MOSSGATE_EXTRA_DLLOVERRIDES:+;$MOSSGATE_EXTRA_DLLOVERRIDES}"
. "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"

wine_version() { "$WINELOADER" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_'; }

# Ends every process of the prefix in WINEPREFIX and waits for its server.
stop_prefix() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
}

# Wine records the name of the prefix's server folder in PREFIX/wineserver and
# leaves that folder (a lock file) behind. Prefixes copied from one template
# share the name, so only the prefix's own server-DEV-INODE folder goes.
forget_server() {
    local name id
    name=$(cat "$WINEPREFIX/wineserver" 2>/dev/null) && [ -n "$name" ] || return 0
    id=$(stat -L -c '%D %i' "$WINEPREFIX") || return 0
    set -- $id
    rm -rf "${TMPDIR:-/tmp}/$name/server-$(printf '%x-%x' "0x$1" "$2")"
}

# Starts the prefix's server and its helper processes with their output on
# /dev/null, so that they never hold a caller's pipe open.
warm_prefix() {
    "$WINELOADER" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}
