#!/usr/bin/env bash
# Makes the emulated x86_64 machine in which the WoW64 runtime runs where the
# host runs no 32-bit code (tools/wow64/guest.sh runs it). tools/wow64/make-runtime.sh
# calls it last when the machine is needed, with the chroot ready.
#
#   tools/wow64/make-guest.sh     reuse the machine when ready, else make it
#
# Result: $MOSSGATE_CACHE/wow64-guest with vmlinuz, initrd.img, root.img and the
# stamp written last; ready is judged by content (guest_ready). Steps: the
# machine's packages in the chroot (Debian unstable's kernel, busybox, and what
# the tests run besides Wine: CTest, Xvfb, xdotool, ImageMagick, Python); the
# kernel; an initramfs of busybox and the modules for the disk and the 9p
# shares; the disk image, made from the chroot without mounting anything
# (mke2fs -d); then one boot that makes the template prefix on the machine's
# own disk. All of it in a temporary folder renamed when complete. When the
# machine cannot be made: one line "bootstrap: emulated machine unavailable:
# REASON", also in $MOSSGATE_CACHE/wow64-guest-unavailable, and exit status 0;
# details in $MOSSGATE_CACHE/wow64-guest.log. Where the host runs 32-bit code the
# runtime runs there and the machine is only checked (tests/wine/bootstrap-selftest.sh).
set -uo pipefail
set -E

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
. "$repo/tools/wine/wow64-env.sh"
. "$here/chroot.sh"

cache=$MOSSGATE_CACHE
root=$WOW64_ROOT
log_file=$cache/wow64-guest.log
image_size=${MOSSGATE_GUEST_IMAGE_SIZE:-24G}
min_free_mb=${MOSSGATE_GUEST_MIN_FREE_MB:-6000}
tmp=""

# Enough to reach the disk and the shares.
GUEST_MODULES=(virtio_blk ext4 9p 9pnet_virtio)

say() { printf 'bootstrap: %s\n' "$*"; }

cleanup() {
    chroot_cleanup
    guest_cleanup
    [ -n "$tmp" ] || return 0
    rm -rf --one-file-system "$tmp" "$root/var/tmp/mossgate-initramfs"
    tmp=""
}

unavailable() {
    trap - ERR
    local line="bootstrap: emulated machine unavailable: $*"
    cleanup
    mkdir -p "$cache" 2>/dev/null && printf '%s\n' "$line" >"$GUEST_UNAVAILABLE" 2>/dev/null
    printf '%s\n' "$line" >&2
    exit 0
}

trap cleanup EXIT
trap 'unavailable "unexpected failure at line $LINENO of ${BASH_SOURCE[0]} (log: $log_file)"' ERR
on_signal() {
    trap - ERR EXIT INT TERM
    cleanup
    exit "$1"
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM

seconds_since() { echo "$((SECONDS - $1))"; }

mkdir -p "$cache" || unavailable "cannot create $cache"
exec 9>"$cache/wow64-guest.lock"
flock 9

if guest_ready; then
    rm -f "$GUEST_UNAVAILABLE"
    say "emulated machine ready in $GUEST_DIR ($(guest_describe))"
    exit 0
fi
wow64_runtime_ready "$root" || unavailable "the WoW64 chroot in $root is not ready (run tools/wow64/make-runtime.sh)"
[ -z "$(mounts_under "$root")" ] || unavailable "$root has mounts under it: $(mounts_under "$root" | tr '\n' ' ')"

# The host's part: the emulator and the tools that make a disk image unmounted.
if ! command -v qemu-system-x86_64 >/dev/null || ! command -v mke2fs >/dev/null ||
    ! command -v debugfs >/dev/null || ! command -v xz >/dev/null || ! command -v zstd >/dev/null; then
    say "installing QEMU and the disk image tools"
    { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        qemu-system-x86 e2fsprogs xz-utils zstd ||
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            qemu-system-x86 e2fsprogs xz-utils zstd; }; } >"$log_file" 2>&1 ||
        unavailable "cannot install qemu-system-x86 on the host (log: $log_file)"
fi

free_mb=$(df -Pm "$cache" | awk 'NR == 2 { print $4 }')
[ "${free_mb:-0}" -ge "$min_free_mb" ] ||
    unavailable "not enough disk space in $cache: ${free_mb:-0} MB free, $min_free_mb MB needed"

for old in "$cache"/wow64-guest.tmp.*; do
    [ ! -e "$old" ] || rm -rf --one-file-system "$old"
done
tmp=$(mktemp -d "$cache/wow64-guest.tmp.XXXXXX") || unavailable "cannot create a folder in $cache"
: >>"$log_file"
say "making the emulated machine (Debian unstable's kernel, QEMU $(guest_describe | sed 's/.*QEMU //'))"

start=$SECONDS
packages_stamp=$root/.mossgate-guest-packages
if [ "$(cat "$packages_stamp" 2>/dev/null)" != "${GUEST_PACKAGES[*]}" ]; then
    in_chroot "$root" sh -ec '
            apt-get update
            apt-get install -y --no-install-recommends "$@"
            apt-get clean
        ' _ "${GUEST_PACKAGES[@]}" >>"$log_file" 2>&1 ||
        unavailable "installing the machine's packages in the chroot failed (log: $log_file)"
    rm -rf "$root/var/lib/apt/lists/"*_dists_* 2>/dev/null || true
    printf '%s\n' "${GUEST_PACKAGES[*]}" >"$packages_stamp"
fi
packages_time=$(seconds_since "$start")

kernel=$(find "$root/boot" -maxdepth 1 -name 'vmlinuz-*' -printf '%f\n' | sed 's/^vmlinuz-//' | sort -V | tail -n 1)
[ -n "$kernel" ] && [ -d "$root/lib/modules/$kernel" ] || unavailable "no kernel in $root/boot"
cp "$root/boot/vmlinuz-$kernel" "$tmp/vmlinuz"

# The initramfs: busybox, the modules in the order modprobe would load them
# (uncompressed: busybox's insmod hands the kernel the bytes as they are), /init.
start=$SECONDS
tree=$root/var/tmp/mossgate-initramfs
rm -rf "$tree" && mkdir -p "$tree"/{bin,dev,proc,sys,newroot,modules}
cp "$root/usr/bin/busybox" "$tree/bin/busybox"
cp "$here/initramfs-init.sh" "$tree/init" && chmod 755 "$tree/init"
modules=$(in_chroot "$root" modprobe -S "$kernel" --show-depends -a "${GUEST_MODULES[@]}" 2>>"$log_file") ||
    unavailable "modprobe cannot list the modules ${GUEST_MODULES[*]} of $kernel (log: $log_file)"
: >"$tree/modules/order"
while read -r verb module _; do
    [ "$verb" = insmod ] || continue
    name=$(basename "$module")
    name=${name%.xz} name=${name%.zst} name=${name%.gz}
    grep -qxF "$name" "$tree/modules/order" && continue
    case $module in
    *.xz) xz -dc "$root$module" ;;
    *.zst) zstd -qdc "$root$module" ;;
    *.gz) gzip -dc "$root$module" ;;
    *) cat "$root$module" ;;
    esac >"$tree/modules/$name" || unavailable "cannot unpack $module"
    echo "$name" >>"$tree/modules/order"
done <<<"$modules"
in_chroot "$root" sh -c 'cd /var/tmp/mossgate-initramfs && find . | cpio -o -H newc --quiet' 2>>"$log_file" |
    gzip -9 >"$tmp/initrd.img" || unavailable "cannot pack the initramfs (log: $log_file)"
rm -rf "$tree"

mkdir -p "$root$GUEST_JOB_MOUNT"
mke2fs -q -F -t ext4 -L mossgate-wow64 -d "$root" -E root_owner=0:0 "$tmp/root.img" "$image_size" >>"$log_file" 2>&1 ||
    unavailable "mke2fs cannot make the disk image from $root (log: $log_file)"
image_time=$(seconds_since "$start")

# The template prefix, made once on the machine's own disk: copies of it are
# hard-linked there in a moment, where a copy through a share takes minutes.
start=$SECONDS
guest_run --dir "$tmp" --writable --limit 1800 --share "$repo" --cwd "$repo" -- bash -c '
        . tools/lib/common.sh && with_display && . tools/wine/wow64-env.sh && wow64_template >/dev/null
    ' >>"$log_file" 2>&1 ||
    unavailable "the template prefix was not made in the emulated machine (log: $log_file)"
[ "$(guest_image_file "$tmp/root.img" "$WOW64_TEMPLATE/.ready")" = "$WOW64_TEMPLATE_RECIPE" ] ||
    unavailable "the emulated machine's disk has no template prefix (log: $log_file)"
template_time=$(seconds_since "$start")

guest_write_stamp "$tmp" "$kernel" "packages_seconds=$packages_time" "image_seconds=$image_time" \
    "template_seconds=$template_time"
rm -rf --one-file-system "$GUEST_DIR"
mv -T "$tmp" "$GUEST_DIR" || unavailable "cannot rename $tmp to $GUEST_DIR"
tmp=""
guest_ready || unavailable "the emulated machine in $GUEST_DIR is not complete after making it"
rm -f "$GUEST_UNAVAILABLE"
say "emulated machine ready in $GUEST_DIR ($(guest_describe), disk $(du -sh "$GUEST_DIR/root.img" | cut -f1)); packages ${packages_time} s, kernel and disk ${image_time} s, template prefix ${template_time} s"
