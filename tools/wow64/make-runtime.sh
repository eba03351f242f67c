#!/usr/bin/env bash
# Makes the WoW64 runtime: a Debian unstable chroot with Wine 10 built with
# i386-windows PE support, so that the i686 product runs in a 64-bit Wine
# process.
#
#   tools/wow64/make-runtime.sh     reuse the runtime when ready, else make it
#
# Result: $MOSSGATE_CACHE/wow64-sid. Ready means, by content: the i386-windows
# DLL folder with DLLs in it, the Wine loader, and the stamp written last.
# The chroot is built in a temporary folder and renamed when complete, so a
# half-made one is never taken for ready; a damaged one is made again.
# debootstrap and the Wine install run in a private mount and PID namespace:
# their mounts and processes cannot outlive them, and a trap undoes any mount
# left under the temporary folder anyway.
#
# First the machine itself is asked (tools/wow64/ia32-check.c) whether it runs
# 32-bit code at all: some kernels and hypervisors do not, and then no Wine on
# the host can run the product. The one-line reason goes to
# $MOSSGATE_CACHE/wow64-no-32-bit-code (the file goes when the check passes),
# and the runtime runs in an emulated x86_64 machine whose kernel does run
# 32-bit code, with the chroot as its root (tools/wine/wow64-env.sh). The
# machine is made last, on every host (tools/wow64/make-guest.sh): where the
# host runs 32-bit code it is only checked, or used on request
# (MOSSGATE_WOW64_MACHINE=emulated).
#
# When the runtime cannot be made, one line "bootstrap: WoW64 runtime
# unavailable: REASON" is printed and written to $MOSSGATE_CACHE/wow64-unavailable
# and the script exits 0, so that the rest of the bootstrap goes on. The file is
# removed once the runtime is ready. Details of a failed attempt are in
# $MOSSGATE_CACHE/wow64-sid.log.
#
# Settings (for other machines and for tests of this script):
#   MOSSGATE_WOW64_MIRROR       Debian mirror URL (default: read from the host's apt sources)
#   MOSSGATE_APT_ETC            apt configuration folder to read the mirror from (/etc/apt)
#   MOSSGATE_WOW64_MIN_FREE_MB  free space needed before starting (3000)
set -uo pipefail
set -E

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
. "$repo/tools/wine/wow64-env.sh"
. "$here/chroot.sh"

cache=$MOSSGATE_CACHE
root=$WOW64_ROOT
unavailable=$WOW64_UNAVAILABLE
log_file="$cache/wow64-sid.log"
min_free_mb=${MOSSGATE_WOW64_MIN_FREE_MB:-3000}
tmp=""

say() { printf 'bootstrap: %s\n' "$*"; }

cleanup() {
    chroot_cleanup
    [ -n "$tmp" ] || return 0
    end_processes_in "$tmp"
    undo_mounts "$tmp"
    if [ -z "$(mounts_under "$tmp")" ]; then
        rm -rf --one-file-system "$tmp"
    fi
    tmp=""
}

# One line on the terminal and in the marker file, then the bootstrap goes on.
unavailable() {
    trap - ERR
    local line="bootstrap: WoW64 runtime unavailable: $*"
    cleanup
    mkdir -p "$cache" 2>/dev/null && printf '%s\n' "$line" > "$unavailable" 2>/dev/null
    printf '%s\n' "$line" >&2
    exit 0
}

trap cleanup EXIT
trap 'unavailable "unexpected failure at line $LINENO of ${BASH_SOURCE[0]} (log: $log_file)"' ERR
# Interrupted: undo everything, write no "unavailable" line, and stop.
on_signal() {
    trap - ERR EXIT INT TERM
    cleanup
    exit "$1"
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM

# The first Debian archive (not the security one) among the host's apt sources,
# deb822 files first, then one-line lists.
host_mirror() {
    local etc=${MOSSGATE_APT_ETC:-/etc/apt} f
    {
        for f in "$etc"/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk '
                function flush() {
                    if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no" && suites !~ /-security/ && uris != "") {
                        split(uris, u, /[ \t]+/); print u[1]
                    }
                    types = uris = suites = enabled = ""; last = ""
                }
                /^#/ { next }
                /^[ \t]*$/ { flush(); next }
                /^[ \t]/ { v = $0; sub(/^[ \t]+/, "", v); if (last == "uris") uris = uris " " v; next }
                {
                    key = tolower($0); sub(/:.*/, "", key); v = $0; sub(/^[^:]*:[ \t]*/, "", v); last = key
                    if (key == "types") types = v; else if (key == "uris") uris = v
                    else if (key == "suites") suites = v; else if (key == "enabled") enabled = v
                }
                END { flush() }' "$f"
        done
        for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
            [ -f "$f" ] || continue
            awk '$1 == "deb" {
                    i = 2
                    if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
                    if ($(i + 1) !~ /-security/) print $i
                }' "$f"
        done
    } | { grep -E '^https?://' || true; } | head -n 1
}

seconds_since() { echo "$(( ($(date +%s%N) - $1) / 100000000 ))" | sed -E 's/^([0-9]*)([0-9])$/\1.\2/; s/^\./0./'; }

report_ready() {
    local size template=""
    size=$(du -sh --one-file-system --exclude="$root/var/lib/mossgate" "$root" 2>/dev/null | cut -f1)
    if [ -d "$root$WOW64_TEMPLATE" ]; then
        template=", template prefix $(du -sh --one-file-system "$root$WOW64_TEMPLATE" 2>/dev/null | cut -f1)"
    fi
    say "WoW64 runtime ready in $root ($(wow64_runtime_describe "$root"), chroot $size$template)$*"
}

mkdir -p "$cache" || unavailable "cannot create $cache"
exec 8>"$cache/wow64-sid.lock"
flock 8

# Built and run afresh each time: the check is of the machine, which may change
# under a kept cache.
check_dir=$(mktemp -d) || unavailable "cannot create a temporary folder"
if ! cc -O1 -o "$check_dir/ia32-check" "$here/ia32-check.c" 2>>"$log_file"; then
    rm -rf "$check_dir"
    unavailable "cannot build the 32-bit code check (log: $log_file)"
fi
runs_32_bit_code=1
no_32_bit_code=$("$check_dir/ia32-check") || runs_32_bit_code=""
rm -rf "$check_dir"
if [ -z "$runs_32_bit_code" ]; then
    printf '%s\n' "${no_32_bit_code:-this machine runs no i686 code}" >"$WOW64_NO_32_BIT_CODE"
    say "${no_32_bit_code:-this machine runs no i686 code}; the WoW64 runtime runs in an emulated machine"
else
    rm -f "$WOW64_NO_32_BIT_CODE"
fi

# The lock stays held: the machine is made from the chroot. MOSSGATE_WOW64_MACHINE=native
# (the tests of this script) leaves it out.
make_guest() {
    [ "${MOSSGATE_WOW64_MACHINE:-}" != native ] || exit 0
    trap - ERR EXIT INT TERM
    exec bash "$here/make-guest.sh"
}

if wow64_runtime_ready "$root"; then
    rm -f "$unavailable"
    report_ready ""
    make_guest
fi

# A damaged or half-renamed runtime is removed first; never through a mount.
if [ -e "$root" ]; then
    [ -z "$(mounts_under "$root")" ] || unavailable "$root is damaged and has mounts under it: $(mounts_under "$root" | tr '\n' ' ')"
    say "the WoW64 runtime in $root is incomplete or damaged: making it again"
    rm -rf --one-file-system "$root" || unavailable "cannot remove the damaged $root"
fi
for old in "$cache"/wow64-sid.tmp.*; do
    [ -e "$old" ] || continue
    # A previous attempt that was killed; its owner holds no lock any more.
    [ -z "$(mounts_under "$old")" ] && rm -rf --one-file-system "$old"
done

mirror=${MOSSGATE_WOW64_MIRROR-$(host_mirror)}
[ -n "$mirror" ] || unavailable "no Debian mirror found in the host's apt sources (${MOSSGATE_APT_ETC:-/etc/apt})"

free_mb=$(df -Pm "$cache" | awk 'NR == 2 { print $4 }')
[ "${free_mb:-0}" -ge "$min_free_mb" ] ||
    unavailable "not enough disk space in $cache: ${free_mb:-0} MB free, $min_free_mb MB needed"

if ! command -v debootstrap >/dev/null 2>&1; then
    say "installing debootstrap"
    { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap ||
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap; }
    } >"$log_file" 2>&1 || unavailable "cannot install debootstrap on the host (log: $log_file)"
fi

tmp=$(mktemp -d "$cache/wow64-sid.tmp.XXXXXX") || unavailable "cannot create a folder in $cache"
: >"$log_file"
say "making the WoW64 runtime (Debian sid chroot with Wine 10, mirror $mirror; about three minutes)"


last_error() {
    { grep -E '^(E:|W: Failure|W: Couldn|Err:|dpkg: error)' "$log_file" || true; } | tail -n 1 | cut -c1-200
}

start=$(date +%s%N)
if ! in_private_namespace '
        debootstrap --variant=minbase --include=ca-certificates sid "$1" "$2"
    ' _ "$tmp" "$mirror" >>"$log_file" 2>&1; then
    reason=$(last_error)
    if [ "$(df -Pm "$cache" | awk 'NR == 2 { print $4 }')" -lt 50 ]; then reason="disk full"; fi
    unavailable "debootstrap of sid from $mirror failed${reason:+: $reason} (log: $log_file)"
fi
debootstrap_time=$(seconds_since "$start")

# The mirror's sid Release file may be past its Valid-Until date.
cat >"$tmp/etc/apt/apt.conf.d/99mossgate" <<'CONF'
Acquire::Check-Valid-Until "false";
Acquire::Check-Date "false";
APT::Install-Recommends "false";
CONF
# No service may start inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$tmp/usr/sbin/policy-rc.d" && chmod 755 "$tmp/usr/sbin/policy-rc.d"

start=$(date +%s%N)
if ! in_chroot "$tmp" sh -ec '
        apt-get update
        apt-get install -y --no-install-recommends wine64 wine fonts-liberation
        apt-get clean
    ' >>"$log_file" 2>&1; then
    reason=$(last_error)
    if [ "$(df -Pm "$cache" | awk 'NR == 2 { print $4 }')" -lt 50 ]; then reason="disk full"; fi
    unavailable "installing Wine in the sid chroot failed${reason:+: $reason} (log: $log_file)"
fi
wine_time=$(seconds_since "$start")
rm -rf "$tmp/var/lib/apt/lists/"*_dists_* 2>/dev/null || true

# The product needs i386-windows: a Wine built without it runs only 64-bit code.
wow64_runtime_ready "$tmp" --without-stamp ||
    unavailable "the sid Wine has no i386-windows DLLs or no loader (not a WoW64 build; log: $log_file)"
version=$(in_chroot "$tmp" "$WOW64_WINE" --version 2>>"$log_file") ||
    unavailable "the sid Wine does not start in the chroot (log: $log_file)"

{
    echo "wine=$version"
    echo "mirror=$mirror"
    echo "made=$(date -u +%Y-%m-%dT%H:%M:%SZ)"
    echo "debootstrap_seconds=$debootstrap_time"
    echo "wine_install_seconds=$wine_time"
} >"$tmp/$WOW64_STAMP_NAME"
mv -T "$tmp" "$root" || unavailable "cannot rename $tmp to $root"
tmp=""
rm -f "$unavailable"
report_ready "; debootstrap ${debootstrap_time} s, Wine install ${wine_time} s"
make_guest
