#!/usr/bin/env bash
# Checks the WoW64 runtime's scripts: tools/wow64/make-runtime.sh (readiness by
# content, the one-line "unavailable" report for each way it can fail, a damaged
# runtime made again) and tools/wine/run-in-prefix.sh under it (the "unavailable"
# line, exit status, prefix removal, two runs at once, nothing left mounted or
# running, an interrupted run cleaned up, under both runtimes). What the runner
# does for programs, every Windows-side test shows. The runner's checks need the
# runtime made by tools/bootstrap.sh; without it they fail, never skip.
#   tests/wine/wow64-selftest.sh     about a minute; last line "wow64: N passed, N failed"
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
. "$repo/tools/wine/wow64-env.sh"
# On a machine that runs no 32-bit code no runtime is made: nothing to check.
if [ -s "$WOW64_NO_32_BIT_CODE" ]; then
    echo "wow64: not run here: $(cat "$WOW64_NO_32_BIT_CODE")"
    exit "$WOW64_NOT_RUN"
fi
with_display
runner=$repo/tools/wine/run-in-prefix.sh
make_runtime=$repo/tools/wow64/make-runtime.sh

# expect NAME ACTUAL EXPECTED
expect() { if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: got [$2], expected [$3]"; fi; }
# expect_match NAME TEXT EXTENDED-REGEX
expect_match() { if grep -Eq -- "$3" <<<"$2"; then pass "$1"; else fail "$1: [$2] does not match /$3/"; fi; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-wow64-selftest.XXXXXX")
on_exit 'rm -rf --one-file-system "$scratch"'

# A tree that has what a ready runtime has, with empty files.
fake_runtime() {
    local r=$1 i
    mkdir -p "$r$WOW64_WINE_LIB/i386-windows" "$r$WOW64_WINE_LIB/x86_64-windows"
    for i in $(seq 120); do : >"$r$WOW64_WINE_LIB/i386-windows/lib$i.dll"; done
    : >"$r$WOW64_WINE_LIB/i386-windows/ntdll.dll"
    : >"$r$WOW64_WINE_LIB/i386-windows/kernel32.dll"
    : >"$r$WOW64_WINE_LIB/x86_64-windows/ntdll.dll"
    printf '#!/bin/sh\n' >"$r$WOW64_WINE" && printf '#!/bin/sh\n' >"$r$WOW64_WINESERVER"
    chmod +x "$r$WOW64_WINE" "$r$WOW64_WINESERVER"
    echo "wine=wine-fake" >"$r/$WOW64_STAMP_NAME"
}

echo "== readiness by content"
r=$scratch/fake
fake_runtime "$r"
check "complete tree is ready" 'wow64_runtime_ready "$r"'
rm "$r/$WOW64_STAMP_NAME"
check "no stamp: not ready" '! wow64_runtime_ready "$r"'
check "no stamp, asked without it: ready" 'wow64_runtime_ready "$r" --without-stamp'
fake_runtime "$r" && rm "$r$WOW64_WINE_LIB"/i386-windows/lib*.dll
check "i386-windows with 2 DLLs: not ready" '! wow64_runtime_ready "$r"'
fake_runtime "$r" && rm "$r$WOW64_WINE"
check "no loader: not ready" '! wow64_runtime_ready "$r"'
rm -rf "$r"

echo "== make-runtime.sh when the runtime cannot be made"
# run_make CACHE [VAR=VALUE...]: prints its output; status in $make_status.
run_make() {
    local cache=$1
    shift
    out=$(env MOSSGATE_CACHE="$cache" "$@" bash "$make_runtime" 2>&1)
    make_status=$?
}
# check_unavailable NAME CACHE REGEX: exit 0, one "unavailable" line, the same
# line in the marker file, no temporary folder, nothing mounted under CACHE.
check_unavailable() {
    local name=$1 cache=$2 regex=$3 line
    expect "$name: exit status" "$make_status" 0
    expect "$name: one 'unavailable' line" "$(grep -c 'unavailable' <<<"$out")" 1
    line=$(grep 'unavailable' <<<"$out")
    expect_match "$name: reason" "$line" "^bootstrap: WoW64 runtime unavailable: $regex"
    expect "$name: the line is in wow64-unavailable" "$(cat "$cache/wow64-unavailable" 2>/dev/null)" "$line"
    expect "$name: no half-made chroot left" "$(find "$cache" -maxdepth 1 -name 'wow64-sid*' -type d | wc -l)" 0
    expect "$name: nothing mounted" "$(awk -v c="$cache" 'index($2, c) == 1' /proc/mounts | wc -l)" 0
}

c=$scratch/no-mirror
mkdir -p "$c" "$scratch/empty-apt/sources.list.d"
run_make "$c" MOSSGATE_APT_ETC="$scratch/empty-apt"
check_unavailable "no mirror" "$c" "no Debian mirror found"

c=$scratch/no-space
run_make "$c" MOSSGATE_WOW64_MIN_FREE_MB=999999999
check_unavailable "no space" "$c" "not enough disk space in $c: [0-9]+ MB free, 999999999 MB needed"

# The mirror comes from the host's apt sources: deb822 stanzas, of which the
# security archive, deb-src and disabled ones are not taken. Port 9 (discard)
# on this machine refuses: the download fails at once.
c=$scratch/download
apt_etc=$scratch/apt
mkdir -p "$apt_etc/sources.list.d"
cat >"$apt_etc/sources.list.d/a.sources" <<'SRC'
Types: deb
URIs: http://127.0.0.1:9/debian-security
Suites: bookworm-security
Components: main

Types: deb-src
URIs: http://127.0.0.1:9/source-only
Suites: bookworm
Components: main

Types: deb
Enabled: no
URIs: http://127.0.0.1:9/disabled
Suites: bookworm
Components: main

Types: deb
# a comment inside the stanza
URIs: http://127.0.0.1:9/debian
Suites: bookworm bookworm-updates
Components: main
SRC
run_make "$c" MOSSGATE_APT_ETC="$apt_etc"
check_unavailable "download failure" "$c" "debootstrap of sid from http://127\.0\.0\.1:9/debian failed"

# One-line lists too, with options in brackets.
rm "$apt_etc/sources.list.d/a.sources"
printf 'deb http://127.0.0.1:9/security bookworm-security main\ndeb [arch=amd64 signed-by=/x.gpg] http://127.0.0.1:9/oneline bookworm main\n' \
    >"$apt_etc/sources.list"
run_make "$c" MOSSGATE_APT_ETC="$apt_etc"
expect_match "one-line sources.list: mirror read" "$out" "sid from http://127\.0\.0\.1:9/oneline failed"

# A runtime without its stamp is damaged: removed, then made again.
c=$scratch/damaged
fake_runtime "$c/wow64-sid" && rm "$c/wow64-sid/$WOW64_STAMP_NAME"
run_make "$c" MOSSGATE_WOW64_MIRROR=http://127.0.0.1:9/debian
expect_match "damaged runtime: said" "$out" "incomplete or damaged: making it again"
check_unavailable "damaged runtime" "$c" "debootstrap of sid"

# A ready runtime is reused and the old "unavailable" line goes.
c=$scratch/ready
fake_runtime "$c/wow64-sid"
echo "bootstrap: WoW64 runtime unavailable: old" >"$c/wow64-unavailable"
run_make "$c" MOSSGATE_WOW64_MIRROR=http://127.0.0.1:9/debian
expect "ready runtime: exit status" "$make_status" 0
expect_match "ready runtime: reused" "$out" "^bootstrap: WoW64 runtime ready in $c/wow64-sid \(wine-fake"
check "ready runtime: wow64-unavailable removed" '[ ! -e "$c/wow64-unavailable" ]'

export MOSSGATE_RUNTIME=wow64
echo "== run-in-prefix.sh without the runtime"
c=$scratch/unavailable
mkdir -p "$c"
echo "bootstrap: WoW64 runtime unavailable: a reason" >"$c/wow64-unavailable"
out=$(MOSSGATE_CACHE=$c "$runner" cmd /c exit 0 2>&1)
status=$?
check "unavailable: fails ($status)" '[ "$status" -ne 0 ]'
expect "unavailable: prints the bootstrap line" "$out" "bootstrap: WoW64 runtime unavailable: a reason"
rm "$c/wow64-unavailable"
out=$(MOSSGATE_CACHE=$c "$runner" cmd /c exit 0 2>&1)
status=$?
check "never made: fails ($status)" '[ "$status" -ne 0 ]'
expect_match "never made: says so" "$out" "^bootstrap: WoW64 runtime unavailable: not made yet"

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

# Two at once (as under ctest -j2): each its own prefix, server and status.
run cmd /c 'ping -n 8 127.0.0.1 >nul & exit 3' >/dev/null &
first=$!
run cmd /c 'ping -n 8 127.0.0.1 >nul & exit 4' >/dev/null &
second=$!
# Servers of the chroot's Wine, seen from the host.
# Builtins only: a scan that forks for every process takes seconds on a busy machine.
chroot_servers() {
    local p argv=() n=0
    for p in /proc/[0-9]*; do
        [ "$p/root" -ef "$WOW64_ROOT" ] || continue
        mapfile -d '' -t argv <"$p/cmdline" 2>/dev/null || continue
        [ "${argv[0]:-}" = "$WOW64_WINESERVER" ] && [ "${argv[1]:-}" = -p ] && n=$((n + 1))
    done
    echo "$n"
}
two_servers() { servers=$(chroot_servers); [ "$servers" -ge 2 ]; }
wait_until 20 two_servers
expect "two at once: two servers" "$servers" 2
expect "two at once: no chroot mount seen by the host" "$(awk -v r="$WOW64_ROOT" 'index($2, r) == 1' /proc/mounts | wc -l)" 0
wait "$first"
expect "two at once: first status" "$?" 3
wait "$second"
expect "two at once: second status" "$?" 4

# Stopped while its program runs, under each runtime: the runner ends at once
# with 143 and takes its prefix with it.
started() { compgen -G "$scratch/mossgate-prefix.*/drive_c/started.txt" >/dev/null; }
for runtime in wow64 wine8; do
    MOSSGATE_RUNTIME=$runtime TMPDIR=$scratch "$runner" cmd /c \
        'echo started>C:\started.txt & ping -n 120 127.0.0.1 >nul' >/dev/null 2>&1 &
    runner_pid=$!
    wait_until 60 started || fail "$runtime: the program started"
    kill -TERM "$runner_pid"
    started_at=$SECONDS
    wait "$runner_pid"
    expect "$runtime: TERM while the program runs: status" "$?" 143
    check "$runtime: ... ended within 20 s" '[ $((SECONDS - started_at)) -le 20 ]'
    expect "$runtime: ... prefix removed" "$(find "$scratch" -maxdepth 1 -name 'mossgate-prefix.*' | wc -l)" 0
done
# Wine 8 keeps its server folders in TMPDIR (Wine 10's are handled inside the chroot).
expect "wine8: no server folder left" "$(find "$scratch" -path '*/wine-*/server-*' | wc -l)" 0

echo "== nothing left behind"
expect "no mount under the runtime" "$(awk -v r="$WOW64_ROOT" 'index($2, r) == 1' /proc/mounts | wc -l)" 0
left=0
for p in /proc/[0-9]*; do
    case $(readlink "$p/root" 2>/dev/null) in "$WOW64_ROOT" | "$WOW64_ROOT"/*) left=$((left + 1)) ;; esac
done
expect "no process in the chroot" "$left" 0
expect "no prefix left in TMPDIR" "$(find "$scratch" -maxdepth 1 -name 'mossgate-prefix.*' | wc -l)" 0

echo
report wow64
