#!/usr/bin/env bash
# Runs one command in the emulated machine (tools/wow64/guest.sh) and exits with
# its status: the repository, the current folder and MOSSGATE_WOW64_BINDS are
# shared at the same paths, the command starts in the current folder, and
# inside it the WoW64 runtime runs directly (the machine's root is the chroot).
# One boot for the whole command, so it is the way to run many wow64 tests:
#   tools/wow64/in-guest.sh ctest --preset win32 -R gui.install
#   tools/wow64/in-guest.sh ctest --preset win32 -L wow64 -j2
# The machine is made by tools/bootstrap.sh. Status 125 when it cannot run the
# command (the reason on stderr); MOSSGATE_GUEST_LIMIT bounds the run (3600 s).
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../wine/wow64-env.sh"
if [ $# -eq 0 ]; then
    sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
fi
if ! guest_ready; then
    echo "in-guest: no emulated machine: $(guest_unavailable_reason)" >&2
    exit 125
fi
options=()
while IFS= read -r folder; do options+=(--share "$folder"); done < <(wow64_guest_shares)
on_exit guest_cleanup
guest_run --limit "${MOSSGATE_GUEST_LIMIT:-3600}" "${options[@]}" -- "$@"
