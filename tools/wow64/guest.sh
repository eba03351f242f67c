# Sourced by tools/wine/wow64-env.sh: the emulated x86_64 machine in which the
# WoW64 runtime runs where the host runs no 32-bit code (made by
# tools/wow64/make-guest.sh). QEMU emulates it in software (TCG, one thread for
# each virtual CPU); its kernel, unlike the host's, gives 32-bit code segments.
#
# The machine: Debian unstable's kernel, an initramfs of our own (busybox and
# the few modules it needs to reach its disk and its shares), and a disk image
# made from the WoW64 chroot (ext4, made without mounting) that holds a template
# prefix made once inside the machine. Every run starts from the same disk: its
# writes go to a temporary overlay that QEMU drops when it ends (-snapshot).
#
#   guest_ready [DIR]          true when DIR (default GUEST_DIR) holds a complete
#                              machine, judged by content
#   guest_describe             "Linux VERSION, QEMU VERSION (TCG, N CPUs, M MB)"
#   guest_run [OPTIONS] -- COMMAND ARGS
#                              boots the machine, runs COMMAND in it as root and
#                              powers it off; status: COMMAND's, or 125 when the
#                              machine did not run it to the end (the reason and
#                              the end of the kernel's log on stderr)
#       --share DIR            a host folder shown at the same path (9p); repeatable
#       --cwd DIR              COMMAND's folder (default: the current one)
#       --limit SECONDS        the whole run's bound (default 3600)
#       --writable             writes reach the disk image (making the machine only)
#       --dir DIR              the machine in DIR instead of GUEST_DIR
# COMMAND's output arrives as it is written (a serial line of its own); its
# environment is the MOSSGATE_* variables of the caller (those that name this
# process's display or namespaces left out), TZ, LANG and TMPDIR,
# MOSSGATE_WOW64_IN_GUEST=1, and MOSSGATE_TIME_SCALE: every time limit of the
# tests is stretched by it (MOSSGATE_GUEST_TIME_SCALE, default 10: a Wine
# process starts 10 to 50 times slower here than on the host). INT or TERM stop
# the machine at once.
#
# Settings: MOSSGATE_GUEST_ACCEL (tcg; kvm where /dev/kvm really works: on the
# nested hypervisors seen here it fails in the kernel's decompressor),
# MOSSGATE_GUEST_CPUS (the host's cores, at most 4), MOSSGATE_GUEST_MEMORY_MB (6144).
GUEST_DIR=${MOSSGATE_WOW64_GUEST_DIR:-$MOSSGATE_CACHE/wow64-guest}
GUEST_STAMP_NAME=.mossgate-guest-ready
# Written by tools/wow64/make-guest.sh when the machine cannot be made: one line.
GUEST_UNAVAILABLE=$MOSSGATE_CACHE/wow64-guest-unavailable
GUEST_JOB_MOUNT=/mossgate-job
GUEST_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
GUEST_BOOT_LIMIT=180
# What the machine runs besides Wine: the tests' own tools. A machine made with
# another list, or another initramfs script, is made again.
GUEST_PACKAGES=(linux-image-amd64 kmod busybox-static cpio cmake xvfb xauth xdotool imagemagick
    x11-utils libxfixes3 python3 procps bsdextrautils)

guest_cpus() {
    local n=${MOSSGATE_GUEST_CPUS:-$(nproc)}
    [ "$n" -le 4 ] || n=4
    echo "$n"
}

# The value of KEY in the stamp of DIR.
guest_stamp() {
    [ -f "$1/$GUEST_STAMP_NAME" ] || return 0
    sed -n "s/^$2=//p" "$1/$GUEST_STAMP_NAME" | head -n 1
}

# debugfs reads the disk image without mounting it: true when PATH is in it.
guest_image_has() {
    debugfs -R "stat $2" "$1" 2>/dev/null | grep -q '^Inode:'
}
guest_image_file() { debugfs -R "cat $2" "$1" 2>/dev/null; }

# Complete means: the stamp (written last), made from today's package list and
# initramfs script, the kernel and initramfs with the checksums it records, the
# disk image of the size it records, and in the image the Wine loader, the
# i386-windows ntdll and the mark of a template prefix made as today's is.
guest_ready() {
    local dir=${1:-$GUEST_DIR} f
    [ -s "$dir/$GUEST_STAMP_NAME" ] || return 1
    [ "$(guest_stamp "$dir" packages)" = "${GUEST_PACKAGES[*]}" ] || return 1
    [ "$(guest_stamp "$dir" init)" = "$(sha256sum <"$GUEST_TOOLS/initramfs-init.sh" | cut -d' ' -f1)" ] || return 1
    for f in vmlinuz initrd.img; do
        [ -f "$dir/$f" ] && [ "$(sha256sum <"$dir/$f" | cut -d' ' -f1)" = "$(guest_stamp "$dir" "$f")" ] || return 1
    done
    [ -f "$dir/root.img" ] && [ "$(stat -c %s "$dir/root.img")" = "$(guest_stamp "$dir" root.img)" ] || return 1
    command -v debugfs >/dev/null 2>&1 || return 1
    guest_image_has "$dir/root.img" "$WOW64_WINE" &&
        guest_image_has "$dir/root.img" "$WOW64_WINE_LIB/i386-windows/ntdll.dll" &&
        [ "$(guest_image_file "$dir/root.img" "$WOW64_TEMPLATE/.ready")" = "$WOW64_TEMPLATE_RECIPE" ]
}

# Writes the stamp of the machine in DIR, last: KERNEL's version, the package
# list and initramfs script it was made from, what guest_ready checks, and any
# further KEY=VALUE lines given.
guest_write_stamp() {
    local dir=$1 kernel=$2
    shift 2
    {
        echo "kernel=$kernel"
        echo "packages=${GUEST_PACKAGES[*]}"
        echo "init=$(sha256sum <"$GUEST_TOOLS/initramfs-init.sh" | cut -d' ' -f1)"
        echo "vmlinuz=$(sha256sum <"$dir/vmlinuz" | cut -d' ' -f1)"
        echo "initrd.img=$(sha256sum <"$dir/initrd.img" | cut -d' ' -f1)"
        echo "root.img=$(stat -c %s "$dir/root.img")"
        echo "made=$(date -u +%Y-%m-%dT%H:%M:%SZ)"
        printf '%s\n' "$@"
    } >"$dir/$GUEST_STAMP_NAME"
}

# Why there is no machine: the line its making left, or that of the chroot it is
# made from, or that it was never made.
guest_unavailable_reason() {
    local marker
    for marker in "$GUEST_UNAVAILABLE" "$WOW64_UNAVAILABLE"; do
        [ -s "$marker" ] || continue
        sed -n '1s/^bootstrap: //p' "$marker"
        return
    done
    echo "not made yet in $GUEST_DIR (run tools/bootstrap.sh)"
}

guest_accel() { echo "${MOSSGATE_GUEST_ACCEL:-tcg}"; }

guest_describe() {
    local qemu
    qemu=$(qemu-system-x86_64 --version 2>/dev/null | sed -n '1s/^QEMU emulator version \([^ ]*\).*/\1/p')
    printf 'Linux %s, QEMU %s (%s, %s CPUs, %s MB)' "$(guest_stamp "$GUEST_DIR" kernel)" "${qemu:-?}" \
        "$(guest_accel | tr a-z A-Z)" "$(guest_cpus)" "${MOSSGATE_GUEST_MEMORY_MB:-6144}"
}

# The machine's processor: everything QEMU emulates but SMAP. QEMU 7.2's TCG
# reads the frame of an iretq made in user mode as a supervisor access, which
# SMAP forbids on user pages: Wine switches to 32-bit code with such an iretq,
# and every 32-bit thread would die of a page fault.
guest_cpu_options() {
    case $(guest_accel) in
    kvm) echo "-accel kvm -cpu host" ;;
    *) echo "-accel tcg,thread=multi -cpu ${MOSSGATE_GUEST_CPU:-max,smap=off}" ;;
    esac
}

# The variables handed to the machine, NUL-separated.
guest_environment() {
    local name
    while IFS= read -r -d '' name; do
        case ${name%%=*} in
        MOSSGATE_OWN_DISPLAY | MOSSGATE_DISPLAY_FILE | MOSSGATE_XVFB_PID | MOSSGATE_COMMON_LOADED | \
            MOSSGATE_WOW64_NS | MOSSGATE_WOW64_ENTERING | MOSSGATE_WOW64_BOUND | MOSSGATE_WOW64_BINDS | \
            MOSSGATE_CACHE | MOSSGATE_WOW64_ROOT | MOSSGATE_WOW64_GUEST_DIR | MOSSGATE_TIME_SCALE) ;;
        MOSSGATE_* | TZ | LANG | TMPDIR) printf '%s\0' "$name" ;;
        esac
    done < <(env -0)
    printf 'MOSSGATE_WOW64_IN_GUEST=1\0MOSSGATE_TIME_SCALE=%s\0' "${MOSSGATE_GUEST_TIME_SCALE:-10}"
}

# QEMU's option values separate fields with commas; a comma in a value is doubled.
guest_option_value() { printf '%s' "${1//,/,,}"; }

guest_run() {
    local dir=$GUEST_DIR cwd=$PWD limit=3600 writable="" shares=() share
    while [ $# -gt 0 ]; do
        case $1 in
        --share) shares+=("$2"); shift 2 ;;
        --cwd) cwd=$2; shift 2 ;;
        --limit) limit=$2; shift 2 ;;
        --writable) writable=1; shift ;;
        --dir) dir=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "guest_run: unknown option $1" >&2; return 2 ;;
        esac
    done
    [ $# -gt 0 ] || { echo "guest_run: no command" >&2; return 2; }
    command -v qemu-system-x86_64 >/dev/null || { echo "wow64: no qemu-system-x86_64 (run tools/bootstrap.sh)" >&2; return 125; }

    guest_run_dir=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-guest.XXXXXX") || return 125
    local job=$guest_run_dir/job
    mkdir "$job" && cp "$GUEST_TOOLS/guest-init.sh" "$job/init" && chmod 755 "$job/init" || return 125
    : >"$job/shares"
    local options=() n=0 real
    for share in "${shares[@]}"; do
        real=$(realpath "$share") || continue
        [ -d "$real" ] || continue
        printf 'share%d\t%s\n' "$n" "$real" >>"$job/shares"
        options+=(-virtfs "local,path=$(guest_option_value "$real"),mount_tag=share$n,security_model=none,id=share$n")
        n=$((n + 1))
    done
    printf '%s\n' "$cwd" >"$job/cwd"
    guest_environment >"$job/environment"
    printf '%s\0' "$@" >"$job/command"
    : >"$guest_run_dir/output.log"
    [ -n "$writable" ] || options+=(-snapshot)

    # shellcheck disable=SC2046 # the processor's options are words
    TMPDIR=$guest_run_dir qemu-system-x86_64 -name mossgate-wow64 -nodefaults -no-user-config \
        -machine q35 $(guest_cpu_options) -smp "$(guest_cpus)" -m "${MOSSGATE_GUEST_MEMORY_MB:-6144}" \
        -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
        -append "console=ttyS0 quiet panic=-1 mitigations=off mossgate.job=job" \
        -drive "file=$(guest_option_value "$dir/root.img"),format=raw,if=virtio,cache=unsafe" \
        -virtfs "local,path=$(guest_option_value "$job"),mount_tag=job,security_model=none,id=job" \
        "${options[@]}" \
        -serial "file:$guest_run_dir/console.log" -serial "file:$guest_run_dir/output.log" \
        -display none -monitor none -nic none -no-reboot \
        </dev/null >"$guest_run_dir/qemu.log" 2>&1 &
    guest_qemu_pid=$!
    tail -n +1 -s 0.2 -f --pid="$guest_qemu_pid" "$guest_run_dir/output.log" 2>/dev/null &
    guest_tail_pid=$!

    local started_at=$SECONDS reason=""
    while kill -0 "$guest_qemu_pid" 2>/dev/null; do
        if [ ! -e "$job/started" ] && [ $((SECONDS - started_at)) -ge "$GUEST_BOOT_LIMIT" ]; then
            reason="the emulated machine did not reach its command within $GUEST_BOOT_LIMIT s"
        elif [ $((SECONDS - started_at)) -ge "$limit" ]; then
            reason="the emulated machine did not finish within $limit s"
        fi
        [ -z "$reason" ] || break
        sleep 0.5
    done
    guest_stop
    local status=125
    if [ -z "$reason" ]; then
        if [ -s "$job/status" ]; then
            status=$(cat "$job/status")
        else
            reason="the emulated machine ended without its command's status"
        fi
    fi
    if [ -n "$reason" ]; then
        {
            echo "wow64: $reason; the end of its log:"
            tail -n 15 "$guest_run_dir/qemu.log" "$guest_run_dir/console.log" 2>/dev/null | sed 's/^/  /'
        } >&2
    fi
    guest_forget_run
    return "$status"
}

# Ends the machine (its overlay goes with it) and the output's reader.
guest_stop() {
    local p
    for p in ${guest_qemu_pid:-}; do
        kill -TERM "$p" 2>/dev/null && wait_until 5 guest_pid_gone "$p"
        kill -KILL "$p" 2>/dev/null
        wait "$p" 2>/dev/null
    done
    if [ -n "${guest_tail_pid:-}" ]; then
        # The reader ends by itself once QEMU is gone; a moment for the last lines.
        wait_until 2 guest_pid_gone "$guest_tail_pid"
        kill "$guest_tail_pid" 2>/dev/null
        wait "$guest_tail_pid" 2>/dev/null
    fi
    guest_qemu_pid="" guest_tail_pid=""
}
guest_pid_gone() { ! kill -0 "$1" 2>/dev/null; }

guest_forget_run() {
    [ -z "${guest_run_dir:-}" ] || rm -rf --one-file-system "$guest_run_dir"
    guest_run_dir=""
}

# For traps: whatever a run interrupted leaves.
guest_cleanup() {
    guest_stop
    guest_forget_run
}
