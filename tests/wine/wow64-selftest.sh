#!/usr/bin/env bash
# Checks tools/wine/run-in-prefix.sh under the WoW64 runtime, wherever the
# runtime runs (on the host, or in the emulated machine where the host runs no
# 32-bit code): exit status, prefix removal, two runs at once, nothing left
# mounted or running, an interrupted run cleaned up (under Wine 8 too where the
# host has it). What the runner does for programs, every Windows-side test
# shows; tests/wine/bootstrap-selftest.sh checks the scripts that make the
# runtime. The checks need the runtime made by tools/bootstrap.sh; without it
# they fail, never skip.
#   tests/wine/wow64-selftest.sh FILES  about a minute; last line "wow64: N passed, N failed"
# FILES: the files of the win32 build's package; a driver setup stand-in there
# is the program that waits (the prefixes have no network: no ping).
set -u
files=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
export MOSSGATE_RUNTIME=wow64
. "$repo/tools/wine/runtime.sh"
runtime_require || runtime_exit_unavailable $?
# The checks look at the runtime's processes and mounts: they run where it runs
# (each run of the runner enters a namespace of its own, seen from here).
[ "$(wow64_machine)" != emulated ] || runtime_enter "$0" "$@"
in_guest=""
[ "$(wow64_machine)" != guest ] || in_guest=1
with_display
runner=$repo/tools/wine/run-in-prefix.sh

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-wow64-selftest.XXXXXX")
on_exit 'rm -rf --one-file-system "$scratch"'

echo "== run-in-prefix.sh"
if ! wow64_runtime_ready; then
    fail "the runtime is not ready in $WOW64_ROOT: $(cat "$WOW64_UNAVAILABLE" 2>/dev/null || echo 'run tools/bootstrap.sh')"
    echo
    report wow64
    exit 1
fi
# Runs the runner with TMPDIR in the scratch folder: its stdout without CRs,
# its stderr in $scratch/stderr, its exit status.
run() {
    local out status
    out=$(mktemp "$scratch/out.XXXXXX")
    TMPDIR=$scratch "$runner" "$@" >"$out" 2>"$scratch/stderr"
    status=$?
    tr -d '\r' <"$out"
    rm -f "$out"
    return "$status"
}

run cmd /c exit 7 >/dev/null
expect "the program's exit status" "$?" 7
expect "prefix removed afterwards" "$(find "$scratch" -maxdepth 1 -name 'mossgate-prefix.*' | wc -l)" 0
# The tests' limits stretch by the scale in the program too (the runtime passes
# little of the host's environment).
expect "the time scale reaches the program" "$(MOSSGATE_TIME_SCALE=3 run cmd /c echo %MOSSGATE_TIME_SCALE%)" 3

# A program that waits SECONDS (stretched as every time limit is), then ends with STATUS.
waiting() { # seconds status program-and-arguments...
    MOSSGATE_STANDIN_WAIT_MS=$(($1 * 1000)) MOSSGATE_STANDIN_EXIT=$2 "${@:3}"
}
# Two at once (as under ctest -j2): each its own prefix, server and status.
waiting 8 3 run "$files/MOSSGATE_C_Setup.exe" >/dev/null &
first=$!
waiting 8 4 run "$files/MOSSGATE_C_Setup.exe" >/dev/null &
second=$!
# The runtime's processes: those in the chroot, or in the emulated machine
# (whose root is the chroot) the Wine server and the Windows programs.
# Builtins only: a scan that forks for every process takes seconds on a busy machine.
runtime_processes() { # [server]: only persistent servers
    local p argv=() n=0
    for p in /proc/[0-9]*; do
        [ "$p/root" -ef "$WOW64_ROOT" ] || continue
        mapfile -d '' -t argv <"$p/cmdline" 2>/dev/null || continue
        if [ "${1:-}" = server ]; then
            [ "${argv[0]:-}" = "$WOW64_WINESERVER" ] && [ "${argv[1]:-}" = -p ] && n=$((n + 1))
        elif [ -z "$in_guest" ]; then
            n=$((n + 1))
        else
            case ${argv[0]:-} in "$WOW64_WINE_LIB"/* | [A-Za-z]:\\*) n=$((n + 1)) ;; esac
        fi
    done
    echo "$n"
}
# Mounts of the runtime seen from here: in the emulated machine it mounts none.
runtime_mounts() {
    [ -z "$in_guest" ] || { echo 0; return; }
    awk -v r="$WOW64_ROOT" 'index($2, r) == 1' /proc/mounts | wc -l
}
two_servers() { servers=$(runtime_processes server); [ "$servers" -ge 2 ]; }
wait_until 20 two_servers
expect "two at once: two servers" "$servers" 2
expect "two at once: no mount of theirs seen from here" "$(runtime_mounts)" 0
wait "$first"
expect "two at once: first status" "$?" 3
wait "$second"
expect "two at once: second status" "$?" 4

# Stopped while its program runs, under each runtime: the runner ends at once
# with 143 and takes its prefix with it.
started() { compgen -G "$scratch/mossgate-prefix.*/drive_c/started.txt" >/dev/null; }
runtimes=(wow64)
[ -n "$in_guest" ] || runtimes+=(wine8)
# The x86_64 stand-in: Wine 8 runs no i686 program here.
sleeper="Z:$(realpath "$files/MOSSGATE_C_Setup_x64.exe" | tr / '\\')"
for runtime in "${runtimes[@]}"; do
    # The runner itself in the background (not through a function), so that
    # the TERM below reaches it and not a subshell around it.
    MOSSGATE_STANDIN_WAIT_MS=120000 MOSSGATE_RUNTIME=$runtime TMPDIR=$scratch "$runner" cmd /c \
        "echo started>C:\started.txt & $sleeper" >/dev/null 2>&1 &
    runner_pid=$!
    wait_until 60 started || fail "$runtime: the program started"
    kill -TERM "$runner_pid"
    started_at=$SECONDS
    wait "$runner_pid"
    expect "$runtime: TERM while the program runs: status" "$?" 143
    check "$runtime: ... ended within $(scaled 20) s" '[ $((SECONDS - started_at)) -le $(scaled 20) ]'
    expect "$runtime: ... prefix removed" "$(find "$scratch" -maxdepth 1 -name 'mossgate-prefix.*' | wc -l)" 0
done
# Wine 8 keeps its server folders in TMPDIR (Wine 10's are handled inside the chroot).
expect "no server folder left in TMPDIR" "$(find "$scratch" -path '*/wine-*/server-*' | wc -l)" 0

echo "== nothing left behind"
expect "no mount of the runtime" "$(runtime_mounts)" 0
expect "no process of the runtime" "$(runtime_processes)" 0
expect "no prefix left in TMPDIR" "$(find "$scratch" -maxdepth 1 -name 'mossgate-prefix.*' | wc -l)" 0

echo
report wow64
