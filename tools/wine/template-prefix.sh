#!/usr/bin/env bash
# Prints the path of the ready template prefix, making it once (about 11 s).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
template="$MOSSGATE_CACHE/wine-template-$(wine_version)"
mkdir -p "$MOSSGATE_CACHE"
exec 9>"$template.lock"
flock 9
if [ ! -f "$template/.ready" ]; then
    # Interrupted half-way: no server left running and no half-made template.
    on_exit '[ -f "$template/.ready" ] || { stop_prefix; rm -rf "$template"; }'
    rm -rf "$template"
    export WINEPREFIX="$template"
    run_interruptible "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
    stop_prefix
    forget_server
    touch "$template/.ready"
fi
echo "$template"
