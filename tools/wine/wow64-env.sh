# Sourced: runs Windows programs under the WoW64 runtime, a Debian sid chroot
# with Wine 10 that runs i686 PE code inside 64-bit processes (made by
# tools/wow64/make-runtime.sh, which tools/bootstrap.sh calls).
#
# Where it runs (wow64_machine):
#   native    the host runs 32-bit code: the chroot on the host.
#   emulated  the host runs none (tools/wow64/ia32-check.c), or
#             MOSSGATE_WOW64_MACHINE=emulated: an emulated x86_64 machine whose
#             root is the chroot (tools/wow64/guest.sh), one boot for each script.
#   guest     this is that machine: the chroot is the root; no chroot is entered.
#
# Scripts use it through runtime.sh. `wow64_enter "$0" "$@"` (runtime_enter) runs
# the script again in a private mount and PID namespace in which the chroot has /proc, /dev,
# /tmp (with the X socket), the repository, the current folder and every folder
# in MOSSGATE_WOW64_BINDS (colon-separated) mounted at the same paths as on the
# host, so Wine's Z: drive sees host paths unchanged. The mounts vanish with the
# namespace, every process started in it ends with it, and scripts running at
# the same time never see each other's mounts; INT and TERM reach the script
# inside, whose traps remove its prefix. Where the machine is emulated, it runs
# the script again in the emulated machine instead, with the same folders
# shared at the same paths (but /tmp: the machine has its own), and exits with
# its status; there the script enters its namespace as above. Then, with
# PREFIX a prefix path (under /tmp or another bound folder):
#   wow64_new_prefix PREFIX        a fresh prefix from the template (made once)
#   wow64_warm PREFIX              start its server and helpers, detached
#   wow64_wine PREFIX PROGRAM ARGS run a Windows program (status: low 8 bits)
#   wow64_reg_query PREFIX ARGS    `reg query ARGS` (/reg:32: the view a 32-bit program has)
#   wow64_stop PREFIX              end the prefix's processes (wineserver -k, -w)
# Wine quotes every argument that contains a space when it builds the Windows
# command line; pass an argument that must arrive unquoted as separate words.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"
WOW64_ROOT=${MOSSGATE_WOW64_ROOT:-$MOSSGATE_CACHE/wow64-sid}
[ -z "${MOSSGATE_WOW64_IN_GUEST:-}" ] || WOW64_ROOT=/
WOW64_UNAVAILABLE=$MOSSGATE_CACHE/wow64-unavailable
# Written by tools/wow64/make-runtime.sh when this machine runs no 32-bit code at
# all (tools/wow64/ia32-check.c): the runtime then runs in the emulated machine;
# where even that cannot be had, what needs the runtime is not run rather than
# failed (exit status WOW64_NOT_RUN), with the reason.
WOW64_NO_32_BIT_CODE=$MOSSGATE_CACHE/wow64-no-32-bit-code
WOW64_NOT_RUN=77
WOW64_STAMP_NAME=.mossgate-wow64-ready
# Paths inside the chroot.
WOW64_WINE_LIB=/usr/lib/x86_64-linux-gnu/wine
WOW64_WINE=$WOW64_WINE_LIB/wine
WOW64_WINESERVER=$WOW64_WINE_LIB/wineserver
WOW64_TEMPLATE=/var/lib/mossgate/wow64-template
WOW64_DLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${MOSSGATE_EXTRA_DLLOVERRIDES:+;$MOSSGATE_EXTRA_DLLOVERRIDES}"
WOW64_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$WOW64_REPO/tools/wow64/guest.sh"

# MOSSGATE_WOW64_MACHINE=native keeps the runtime on the host whatever the host
# runs (for the tests of the chroot's own scripts).
wow64_machine() {
    if [ -n "${MOSSGATE_WOW64_IN_GUEST:-}" ]; then
        echo guest
    elif [ "${MOSSGATE_WOW64_MACHINE:-}" = native ]; then
        echo native
    elif [ "${MOSSGATE_WOW64_MACHINE:-}" = emulated ] || [ -s "$WOW64_NO_32_BIT_CODE" ]; then
        echo emulated
    else
        echo native
    fi
}

# True when ROOT holds a complete runtime: i386-windows with its DLLs, the
# loader, and (unless --without-stamp) the stamp written after success.
wow64_runtime_ready() {
    local root=${1:-$WOW64_ROOT}
    local i386=$root$WOW64_WINE_LIB/i386-windows
    [ -f "$i386/ntdll.dll" ] && [ -f "$i386/kernel32.dll" ] || return 1
    [ "$(find "$i386" -maxdepth 1 -name '*.dll' | head -n 100 | wc -l)" -ge 100 ] || return 1
    [ -x "$root$WOW64_WINE" ] && [ -x "$root$WOW64_WINESERVER" ] || return 1
    [ -f "$root$WOW64_WINE_LIB/x86_64-windows/ntdll.dll" ] || return 1
    [ "${2:-}" = --without-stamp ] || [ -s "$root/$WOW64_STAMP_NAME" ]
}

# "wine-10.0 (...), N i386-windows DLLs", from the stamp and the DLL folder.
wow64_runtime_describe() {
    local root=${1:-$WOW64_ROOT}
    printf '%s, %s i386-windows DLLs' \
        "$(sed -n 's/^wine=//p' "$root/$WOW64_STAMP_NAME" 2>/dev/null)" \
        "$(find "$root$WOW64_WINE_LIB/i386-windows" -maxdepth 1 -name '*.dll' | wc -l)"
}

# Fails, with the line bootstrap left or a line of its own, when there is no
# runtime: status 1, or WOW64_NOT_RUN when this machine runs no 32-bit code and
# the emulated machine cannot be had either (said in one line). Never a silent skip.
wow64_require() {
    case $(wow64_machine) in
    guest)
        wow64_runtime_ready && return 0
        echo "wow64: the emulated machine's root holds no complete runtime" >&2
        return 1
        ;;
    emulated)
        guest_ready && return 0
        echo "wow64: not run here: $(cat "$WOW64_NO_32_BIT_CODE" 2>/dev/null || echo "the emulated machine was asked for"), and the emulated machine cannot be had: $(guest_unavailable_reason)" >&2
        return "$WOW64_NOT_RUN"
        ;;
    esac
    wow64_runtime_ready && return 0
    if [ -s "$WOW64_UNAVAILABLE" ]; then
        cat "$WOW64_UNAVAILABLE" >&2
    else
        echo "bootstrap: WoW64 runtime unavailable: not made yet in $WOW64_ROOT (run tools/bootstrap.sh)" >&2
    fi
    return 1
}

# The exit status for a runtime that wow64_require refused with STATUS.
wow64_exit_unavailable() {
    [ "$1" = "$WOW64_NOT_RUN" ] && exit "$WOW64_NOT_RUN"
    exit 125
}

wow64_inside() { [ -n "${MOSSGATE_WOW64_NS:-}" ] && [ "$MOSSGATE_WOW64_NS" = "$(readlink /proc/self/ns/mnt)" ]; }

# Runs the calling script again inside the private namespace (see above), or,
# when it already runs there, mounts what is not mounted yet and returns.
wow64_enter() {
    if wow64_inside; then
        wow64_bind_folders
        return 0
    fi
    wow64_require || wow64_exit_unavailable $?
    [ "$(wow64_machine)" != emulated ] || wow64_enter_guest "$@"
    if [ "$(id -u)" != 0 ]; then
        echo "wow64: chroot and mounts need root" >&2
        exit 125
    fi
    if [ -n "${MOSSGATE_WOW64_ENTERING:-}" ] && [ "$MOSSGATE_WOW64_ENTERING" != "$(readlink /proc/self/ns/mnt)" ]; then
        unset MOSSGATE_WOW64_ENTERING
        MOSSGATE_WOW64_NS=$(readlink /proc/self/ns/mnt)
        export MOSSGATE_WOW64_NS
        MOSSGATE_WOW64_BOUND=""
        wow64_mount_base && wow64_bind_folders || {
            echo "wow64: cannot mount the chroot's folders in $WOW64_ROOT" >&2
            exit 125
        }
        return 0
    fi
    # The host's namespace is remembered so that the new one can tell itself apart.
    MOSSGATE_WOW64_ENTERING=$(readlink /proc/self/ns/mnt) \
        unshare --mount --propagation private --pid --fork --kill-child --mount-proc \
        bash "$@" <&0 &
    wow64_unshare=$!
    # unshare blocks INT and TERM while it waits, so they would never reach the
    # script inside, whose traps clean up: they are handed to it from here.
    trap 'wow64_pass_signal INT' INT
    trap 'wow64_pass_signal TERM' TERM
    until wait "$wow64_unshare"; wow64_status=$?; ! kill -0 "$wow64_unshare" 2>/dev/null; do :; done
    exit "$wow64_status"
}

wow64_pass_signal() {
    local inside
    inside=$(cat "/proc/$wow64_unshare/task/$wow64_unshare/children" 2>/dev/null)
    [ -z "$inside" ] || kill -"$1" $inside 2>/dev/null
}

# Runs the script again in the emulated machine and exits with its status. The
# machine runs in this shell's own function (INT and TERM stop it within half a
# second): the exit actions know its process.
wow64_enter_guest() {
    local options=() folder
    while IFS= read -r folder; do options+=(--share "$folder"); done < <(wow64_guest_shares)
    on_exit guest_cleanup
    guest_run --limit "${MOSSGATE_GUEST_LIMIT:-3600}" "${options[@]}" -- bash "$@"
    exit $?
}

# The repository, the current folder and MOSSGATE_WOW64_BINDS, each once, none
# inside another, none of the system's folders or /tmp itself.
wow64_guest_shares() {
    local f real done_list=() bound skip extra=()
    IFS=: read -r -a extra <<<"${MOSSGATE_WOW64_BINDS:-}"
    for f in "$WOW64_REPO" "$PWD" "${extra[@]}"; do
        [ -n "$f" ] && [ -d "$f" ] || continue
        real=$(realpath "$f") || continue
        wow64_system_folder "$real" && continue
        [ "$real" != /tmp ] || continue
        skip=""
        for bound in "${done_list[@]}"; do
            case $real in "$bound" | "$bound"/*) skip=1 ;; esac
        done
        [ -z "$skip" ] || continue
        done_list+=("$real")
        echo "$real"
    done
}

wow64_mount_base() {
    local r=$WOW64_ROOT
    # In the emulated machine the chroot is the root: everything is in place.
    [ "$r" != / ] || return 0
    mount -t proc proc "$r/proc" &&
        mount --rbind /dev "$r/dev" &&
        mount --rbind /tmp "$r/tmp" &&
        MOSSGATE_WOW64_BOUND=/tmp
}

# Host folders that chroot paths must never be covered by.
wow64_system_folder() {
    case $1 in
    / | /root | /home | /usr | /usr/* | /bin | /bin/* | /sbin | /sbin/* | /lib | /lib/* | /lib64 | /lib64/* | \
        /etc | /etc/* | /var | /var/lib | /var/lib/mossgate | /var/lib/mossgate/* | /proc | /proc/* | /sys | /sys/* | \
        /dev | /dev/* | /run | /run/* | /boot | /boot/*) return 0 ;;
    esac
    return 1
}

# Binds the repository, the current folder, TMPDIR and MOSSGATE_WOW64_BINDS at
# the same paths in the chroot, each once.
wow64_bind_folders() {
    local f real bound skip extra=() done_list=()
    [ "$WOW64_ROOT" != / ] || return 0
    IFS=: read -r -a extra <<<"${MOSSGATE_WOW64_BINDS:-}"
    IFS=: read -r -a done_list <<<"${MOSSGATE_WOW64_BOUND:-}"
    for f in "$WOW64_REPO" "$PWD" "${TMPDIR:-/tmp}" "${extra[@]}"; do
        [ -n "$f" ] && [ -d "$f" ] || continue
        real=$(realpath "$f") || continue
        wow64_system_folder "$real" && continue
        skip=""
        for bound in "${done_list[@]}"; do
            case $real in "$bound" | "$bound"/*) skip=1 ;; esac
        done
        [ -z "$skip" ] || continue
        mkdir -p "$WOW64_ROOT$real" && mount --rbind "$real" "$WOW64_ROOT$real" || return 1
        done_list+=("$real")
    done
    MOSSGATE_WOW64_BOUND=$(IFS=:; echo "${done_list[*]}")
    export MOSSGATE_WOW64_BOUND
}

# Runs a command in the chroot with Wine's settings for PREFIX, in the current
# folder. Output and input are the caller's.
wow64_exec() {
    local prefix=$1 dir=$PWD
    shift
    [ -d "$WOW64_ROOT$dir" ] || dir=/
    # The stand-ins' test settings and the time scale of the tests' limits pass
    # through; nothing else of the host's environment.
    local settings=()
    mapfile -t settings < <(env | grep -E '^MOSSGATE_(STANDIN_[A-Z_]*|TIME_SCALE)=')
    chroot "$WOW64_ROOT" /usr/bin/env -i -C "$dir" HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 \
        "${settings[@]}" \
        ${DISPLAY:+DISPLAY="$DISPLAY"} ${XAUTHORITY:+XAUTHORITY="$XAUTHORITY"} ${TZ:+TZ="$TZ"} \
        WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="$WOW64_DLLOVERRIDES" \
        "$@"
}

wow64_wine() {
    local prefix=$1
    shift
    wow64_exec "$prefix" "$WOW64_WINE" "$@"
}

# Prints reg's output without CRs (its error messages go to stdout too);
# status: reg's (0 found, 1 not found).
wow64_reg_query() {
    local prefix=$1 out status
    shift
    out=$(wow64_wine "$prefix" reg query "$@" </dev/null 2>/dev/null)
    status=$?
    printf '%s\n' "$out" | tr -d '\r'
    return "$status"
}

# The prefix's server folder. Wine 10 makes /tmp/wine-XXXXXX when a server
# first starts for a prefix and records its name in PREFIX/wineserver; the
# socket is server-DEV-INODE/socket in there (DEV and INODE of the prefix).
wow64_server_dir() {
    local name d host=$1
    # Prefixes live at the same path on the host; only the template does not.
    [ "$1" != "$WOW64_TEMPLATE" ] || host=$WOW64_ROOT$1
    name=$(cat "$host/wineserver" 2>/dev/null) && [ -n "$name" ] || return 1
    d=$(stat -L -c '%D %i' "$host") || return 1
    set -- $d
    printf '/tmp/%s/server-%x-%x\n' "$name" "0x$1" "$2"
}

# Starts a persistent server for PREFIX and waits for its socket before any
# client: a client that came first would start a second server (Wine 10).
wow64_start_server() {
    local prefix=$1 dir=""
    wow64_exec "$prefix" "$WOW64_WINESERVER" -p </dev/null >/dev/null 2>&1 || return 1
    wait_until 10 wow64_server_listens "$prefix" && return 0
    echo "wow64: no server socket for $prefix after 10 s (${dir:-no $prefix/wineserver})" >&2
    return 1
}
wow64_server_listens() { dir=$(wow64_server_dir "$1") && [ -S "$dir/socket" ]; }

# Removes the server folder of a stopped prefix (Wine leaves its lock file).
wow64_forget_server() {
    local dir
    dir=$(wow64_server_dir "$1") || return 0
    case $dir in /tmp/wine-*/server-*) ;; *) return 0 ;; esac
    rm -rf "$dir"
    rmdir "${dir%/*}" 2>/dev/null
    return 0
}

# Server and helper processes (services, explorer, ...) started with their output
# on /dev/null, so they never hold a caller's pipe open.
wow64_warm() {
    wow64_start_server "$1" &&
        wow64_wine "$1" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
}

wow64_stop() {
    wow64_exec "$1" "$WOW64_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    wow64_exec "$1" "$WOW64_WINESERVER" -w </dev/null >/dev/null 2>&1 || true
}

# Stops the prefix and removes it with its server folder (inside the namespace).
wow64_remove_prefix() {
    wow64_stop "$1"
    wow64_forget_server "$1"
    rm -rf --one-file-system "$1"
}

# Services that no test needs and every prefix would start, each in a process of
# its own: the event log (a svchost) and the network drivers (a winedevice). In
# the emulated machine each costs seconds of every test.
WOW64_SERVICES_LEFT_OUT=(Eventlog NDIS nsiproxy)
# What the template's mark says: a template made otherwise is made again.
WOW64_TEMPLATE_RECIPE="services left out: ${WOW64_SERVICES_LEFT_OUT[*]}"

# Prints the chroot path of the template prefix, making it once under a lock
# (wineboot -i, the services above set to disabled, then until its server has
# ended). It lives inside the runtime, so a runtime made again gets a new one.
wow64_template() {
    local t=$WOW64_TEMPLATE host=$WOW64_ROOT$WOW64_TEMPLATE fd service
    mkdir -p "$(dirname "$host")" || return 1
    exec {fd}>"$host.lock"
    flock "$fd"
    if [ "$(cat "$host/.ready" 2>/dev/null)" != "$WOW64_TEMPLATE_RECIPE" ]; then
        rm -rf --one-file-system "$host"
        mkdir -p "$host"
        wow64_wine "$t" wineboot -i </dev/null >/dev/null 2>&1
        for service in "${WOW64_SERVICES_LEFT_OUT[@]}"; do
            wow64_wine "$t" reg add "HKLM\\System\\CurrentControlSet\\Services\\$service" /v Start \
                /t REG_DWORD /d 4 /f </dev/null >/dev/null 2>&1
        done
        wow64_exec "$t" "$WOW64_WINESERVER" -w </dev/null >/dev/null 2>&1
        # Each copy must get a server folder of its own.
        wow64_forget_server "$t"
        rm -f "$host/wineserver"
        if [ -f "$host/system.reg" ] && [ -f "$host/drive_c/windows/syswow64/kernel32.dll" ] &&
            [ -f "$host/drive_c/windows/system32/kernel32.dll" ]; then
            echo "$WOW64_TEMPLATE_RECIPE" >"$host/.ready"
        fi
    fi
    exec {fd}>&-
    [ "$(cat "$host/.ready" 2>/dev/null)" = "$WOW64_TEMPLATE_RECIPE" ] || {
        echo "wow64: wineboot -i did not make the template prefix $host" >&2
        return 1
    }
    echo "$t"
}

# A fresh prefix at PREFIX (a host path visible at the same path in the chroot):
# the folders that nothing writes (the system folders, side-by-side assemblies,
# sorting tables, themes) hard-linked from the template, everything else
# copied: a copy of the rest is a few megabytes where the whole is 1.2 GB.
WOW64_LINKED_FOLDERS=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs
    drive_c/windows/globalization drive_c/windows/resources)
wow64_new_prefix() {
    local dest=$1 src t folder excluded=()
    t=$(wow64_template) || return 1
    src=$WOW64_ROOT$t
    mkdir -p "$dest" || return 1
    for folder in "${WOW64_LINKED_FOLDERS[@]}"; do excluded+=(--exclude="./$folder"); done
    tar -C "$src" --exclude=./.ready --exclude=./wineserver "${excluded[@]}" -cf - . | tar -C "$dest" -xpf - || return 1
    for folder in "${WOW64_LINKED_FOLDERS[@]}"; do
        [ -d "$src/$folder" ] || continue
        cp -al "$src/$folder" "$dest/$(dirname "$folder")/" 2>/dev/null ||
            cp -a "$src/$folder" "$dest/$(dirname "$folder")/" || return 1
    done
}
