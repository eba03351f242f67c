#!/usr/bin/env bash
# Checks, on the host, the scripts that make and start the WoW64 runtime:
# tools/wow64/make-runtime.sh (readiness by content, the one-line "unavailable"
# report for each way it can fail, a damaged runtime made again), the refusal
# of tools/wine/run-in-prefix.sh without a runtime, and the emulated machine
# (tools/wow64/guest.sh): readiness by content and, where the machine is made,
# its runs: a command's status, output, environment, folder and shared folders,
# 32-bit code; the bound of a run; a run stopped with TERM. After each run no
# QEMU process and no run folder may be left.
#   tests/wine/bootstrap-selftest.sh   last line "bootstrap: N passed, N failed"
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
. "$repo/tools/wine/wow64-env.sh"
runner=$repo/tools/wine/run-in-prefix.sh
make_runtime=$repo/tools/wow64/make-runtime.sh

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-bootstrap-selftest.XXXXXX")
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
# run_make CACHE [VAR=VALUE...]: prints its output; status in $make_status. The
# chroot's script alone: no emulated machine is made after it.
run_make() {
    local cache=$1
    shift
    out=$(env MOSSGATE_CACHE="$cache" MOSSGATE_WOW64_MACHINE=native "$@" bash "$make_runtime" 2>&1)
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
out=$(MOSSGATE_CACHE=$c MOSSGATE_WOW64_MACHINE=native "$runner" cmd /c exit 0 2>&1)
status=$?
check "unavailable: fails ($status)" '[ "$status" -ne 0 ] && [ "$status" -ne 77 ]'
expect "unavailable: prints the bootstrap line" "$out" "bootstrap: WoW64 runtime unavailable: a reason"
# Where the machine is emulated and cannot be had, the tests are not run, and say why.
out=$(MOSSGATE_CACHE=$c MOSSGATE_WOW64_MACHINE=emulated "$runner" cmd /c exit 0 2>&1)
expect "no emulated machine: not run" "$?" 77
expect_match "no emulated machine: says why" "$out" "^wow64: not run here: .*the emulated machine cannot be had: WoW64 runtime unavailable: a reason$"
rm "$c/wow64-unavailable"
out=$(MOSSGATE_CACHE=$c MOSSGATE_WOW64_MACHINE=native "$runner" cmd /c exit 0 2>&1)
status=$?
check "never made: fails ($status)" '[ "$status" -ne 0 ] && [ "$status" -ne 77 ]'
expect_match "never made: says so" "$out" "^bootstrap: WoW64 runtime unavailable: not made yet"
out=$(MOSSGATE_CACHE=$c MOSSGATE_WOW64_MACHINE=emulated "$runner" cmd /c exit 0 2>&1)
expect_match "no emulated machine made: says so" "$out" "cannot be had: not made yet in $c/wow64-guest"
unset MOSSGATE_RUNTIME

echo "== the emulated machine: readiness by content"
# A machine of small files: a disk with the paths guest_ready looks for, its
# template prefix made by the recipe given.
g=$scratch/guest
guest_disk() { # recipe
    mkdir -p "$g/tree$WOW64_WINE_LIB/i386-windows" "$g/tree$WOW64_TEMPLATE"
    : >"$g/tree$WOW64_WINE" && : >"$g/tree$WOW64_WINE_LIB/i386-windows/ntdll.dll"
    echo "$1" >"$g/tree$WOW64_TEMPLATE/.ready"
    mke2fs -q -F -t ext4 -d "$g/tree" "$g/root.img" 4M && rm -rf "$g/tree"
    guest_write_stamp "$g" 1.0-fake
}
mkdir -p "$g"
echo kernel >"$g/vmlinuz" && echo initramfs >"$g/initrd.img"
guest_disk "$WOW64_TEMPLATE_RECIPE"
check "complete machine is ready" 'guest_ready "$g"'
echo changed >>"$g/initrd.img"
check "initramfs changed: not ready" '! guest_ready "$g"'
guest_write_stamp "$g" 1.0-fake
truncate -s 8M "$g/root.img"
check "disk of another size: not ready" '! guest_ready "$g"'
guest_write_stamp "$g" 1.0-fake
sed -i 's/^packages=.*/packages=linux-image-amd64/' "$g/$GUEST_STAMP_NAME"
check "made from another package list: not ready" '! guest_ready "$g"'
guest_disk "services left out: none"
check "a template prefix made otherwise on the disk: not ready" '! guest_ready "$g"'
rm "$g/$GUEST_STAMP_NAME"
check "no stamp: not ready" '! guest_ready "$g"'

# QEMU processes of this test's runs (their run folders are in the scratch folder).
qemu_left() {
    local p n=0
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$(command -v qemu-system-x86_64)" ] || continue
        grep -qF "$scratch" "$p/cmdline" 2>/dev/null && n=$((n + 1))
    done
    echo "$n"
}
runs_left() { find "$scratch" -maxdepth 1 -name 'mossgate-guest.*' | wc -l; }
run_started() { compgen -G "$scratch/mossgate-guest.*/job/started" >/dev/null; }

if guest_ready; then
    echo "== the emulated machine: a command's run ($(guest_describe))"
    mkdir -p "$scratch/shared" && cc -O1 -o "$scratch/shared/ia32-check" "$repo/tools/wow64/ia32-check.c"
    out=$(MOSSGATE_SELFTEST_WORDS=$'two words\nand a line' TMPDIR=$scratch guest_run --share "$scratch/shared" \
        --cwd "$scratch/shared" -- bash -c '
            echo "folder: $PWD"; echo "to stderr" >&2
            printf %s "$MOSSGATE_SELFTEST_WORDS" >words
            ./ia32-check && echo "32-bit code runs"
            exit 7' 2>&1)
    expect "the command's status" "$?" 7
    expect_match "its folder, the shared folder" "$out" "^folder: $scratch/shared$"
    expect_match "its standard error" "$out" "^to stderr$"
    expect "its environment, written to a shared folder" "$(cat "$scratch/shared/words" 2>/dev/null)" $'two words\nand a line'
    expect_match "the machine runs 32-bit code" "$out" "^32-bit code runs$"
    expect "no QEMU left" "$(qemu_left)" 0
    expect "no run folder left" "$(runs_left)" 0

    echo "== a run past its bound"
    started_at=$SECONDS
    out=$(TMPDIR=$scratch guest_run --limit 20 -- sleep 600 2>&1)
    expect "status" "$?" 125
    expect_match "says so" "$out" "^wow64: the emulated machine did not finish within 20 s"
    check "ended at its bound" '[ $((SECONDS - started_at)) -le 40 ]'
    expect "no QEMU left" "$(qemu_left)" 0
    expect "no run folder left" "$(runs_left)" 0

    echo "== a run stopped with TERM"
    TMPDIR=$scratch "$repo/tools/wow64/in-guest.sh" sleep 600 >/dev/null 2>&1 &
    run_pid=$!
    wait_until 120 run_started || fail "the machine started its command"
    kill -TERM "$run_pid"
    started_at=$SECONDS
    wait "$run_pid"
    expect "status" "$?" 143
    check "ended within 10 s" '[ $((SECONDS - started_at)) -le 10 ]'
    expect "no QEMU left" "$(qemu_left)" 0
    expect "no run folder left" "$(runs_left)" 0
else
    echo "-- the emulated machine is not made here ($(wow64_machine) runtime): its runs are not checked"
fi

echo
report bootstrap

