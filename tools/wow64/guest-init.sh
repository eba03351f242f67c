#!/bin/bash
# The first process of the emulated machine (tools/wow64/guest.sh), started by
# the initramfs from the job share, where the host put it with the job: the
# folders to mount (shares: "TAG<tab>PATH" lines), the command's folder (cwd),
# its environment and its arguments (NUL-separated). It mounts what a system
# needs, runs the command with its output on the second serial line, writes
# its status to the job share, and powers the machine off. Whatever happens,
# the machine ends: a failure here ends PID 1, the kernel panics, and QEMU
# (-no-reboot, panic=-1) quits.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
job=/mossgate-job

power_off() {
    sync
    mount -o remount,ro / 2>/dev/null
    busybox poweroff -f
    sleep 10
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mkdir -p /dev/pts /dev/shm
# devtmpfs has no /dev/fd: bash's process substitution needs it.
ln -sfn /proc/self/fd /dev/fd
ln -sfn /proc/self/fd/0 /dev/stdin
ln -sfn /proc/self/fd/1 /dev/stdout
ln -sfn /proc/self/fd/2 /dev/stderr
mount -t devpts -o gid=5,mode=620 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=755 tmpfs /run
# /tmp stays on the disk: prefixes hard-link the template's system folders.
find /tmp -mindepth 1 -delete 2>/dev/null
hostname mossgate-wow64
busybox ip link set lo up
# Raw: no carriage return added to each line on its way to the host.
stty -F /dev/ttyS1 raw -echo
exec </dev/null >/dev/ttyS1 2>&1
: >"$job/started"

while IFS=$'\t' read -r tag path; do
    mkdir -p "$path" &&
        mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=mmap "$tag" "$path" ||
        { echo "mossgate-guest: cannot mount the host's $path"; echo 125 >"$job/status"; power_off; }
done <"$job/shares"

mapfile -d '' -t environment <"$job/environment"
mapfile -d '' -t command <"$job/command"
cwd=$(cat "$job/cwd")
[ -d "$cwd" ] || cwd=/
for variable in "${environment[@]}"; do
    # A host TMPDIR is made on the machine's own disk.
    case $variable in TMPDIR=?*) mkdir -p "${variable#TMPDIR=}" ;; esac
done
# Through a pipe, as on the host under CTest: Wine would take the serial line
# for a console and add its cursor controls.
cd "$cwd" && env -i HOME=/root PATH=$PATH LANG=C.UTF-8 "${environment[@]}" "${command[@]}" 2>&1 | cat
echo "${PIPESTATUS[0]}" >"$job/status"
while IFS=$'\t' read -r tag path; do
    umount "$path" 2>/dev/null
done < <(tac "$job/shares")
power_off
