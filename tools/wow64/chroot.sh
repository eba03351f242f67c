# Sourced by the scripts that make the WoW64 runtime and its emulated machine:
# commands in a chroot, in a private mount and PID namespace, and the undoing of
# whatever a killed run left mounted or running.
#   in_private_namespace SCRIPT ARGS   bash -euc SCRIPT in its own namespaces
#   in_chroot ROOT COMMAND ARGS        COMMAND in the chroot ROOT, /proc and /dev mounted
#   mounts_under PATH                  the mounts at or below PATH, deepest first
#   undo_mounts PATH, end_processes_in PATH
#   chroot_cleanup                     ends a namespace still running (for traps)

# Every mount under PATH in this (the host's) mount namespace, deepest first.
mounts_under() {
    awk -v p="$1" '{ m = $2; gsub(/\\040/, " ", m); if (m == p || index(m, p "/") == 1) print m }' /proc/self/mounts |
        sort -r
}

undo_mounts() {
    local path=$1 m
    [ -n "$path" ] || return 0
    while IFS= read -r m; do
        umount -R "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done < <(mounts_under "$path")
}

# Processes whose root folder is inside PATH: only ours can be there.
end_processes_in() {
    local path=$1 p r
    for p in /proc/[0-9]*; do
        r=$(readlink "$p/root" 2>/dev/null) || continue
        case $r in "$path" | "$path"/*) kill -KILL "${p#/proc/}" 2>/dev/null || true ;; esac
    done
}

# Runs a script in a private mount and PID namespace: nothing it mounts or
# starts outlives it. It runs in the background so that a signal reaches the
# traps at once; killing unshare kills the namespace's first process
# (--kill-child) and with it every process in the namespace.
ns_pid=""
in_private_namespace() {
    local status=0
    unshare --mount --propagation private --pid --fork --kill-child --mount-proc bash -euc "$@" &
    ns_pid=$!
    wait "$ns_pid" || status=$?
    ns_pid=""
    return "$status"
}

chroot_cleanup() {
    [ -n "$ns_pid" ] || return 0
    kill -KILL "$ns_pid" 2>/dev/null || true
    wait "$ns_pid" 2>/dev/null || true
    ns_pid=""
}

# Runs a command in the chroot ROOT with /proc and /dev mounted, in a private
# namespace (the mounts vanish with it; the trap is for an early failure).
in_chroot() {
    in_private_namespace '
        root=$1; shift
        trap "umount -R \"\$root/dev\" \"\$root/proc\" 2>/dev/null || true" EXIT
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        mount --make-rslave "$root/dev"
        chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"
    ' _ "$@"
}
