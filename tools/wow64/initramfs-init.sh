#!/bin/busybox sh
# The emulated machine's initramfs (tools/wow64/make-guest.sh puts busybox and
# the kernel modules listed in /modules/order beside it): loads the modules that
# reach the disk and the 9p shares, mounts the disk as the root and the job
# share in it, and hands over to the job's own first process. Anything missing
# powers the machine off at once, with one line on the console.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

give_up() {
    echo "mossgate-initramfs: $*"
    poweroff -f
    sleep 10
}

for module in $(cat /modules/order); do
    insmod "/modules/$module" || give_up "cannot load $module"
done
waited=0
while [ ! -b /dev/vda ] && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
done
mount -t ext4 /dev/vda /newroot || give_up "cannot mount the disk /dev/vda"
mkdir -p /newroot/mossgate-job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 job /newroot/mossgate-job ||
    give_up "cannot mount the job share"
[ -x /newroot/mossgate-job/init ] || give_up "the job share has no init"
umount /proc /sys
mount --move /dev /newroot/dev
exec switch_root /newroot /mossgate-job/init
