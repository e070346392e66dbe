#!/usr/bin/env bash
# Shows that a minimal Debian 12 with nothing but git on it can run ./test and
# start the program: takes a freshly bootstrapped minbase root (debootstrap, or
# its cached copy), clones the commit under test into it, and runs ./test and
# a headless ./run inside a chroot. Anything the package list in
# tools/deps.sh forgets makes this fail.
#
# Then the Debian package (tools/fresh_root_package.sh): tools/package.sh
# builds it in that root, and a second root unpacked from the same tarball,
# without any build tool, installs it with apt-get; there an ordinary user
# runs olvendctl, starts olvend on an X server of the host (a screenshot must
# show more than one colour), and after `apt-get remove olvend` the user's
# folder must remain.
#
#   tools/fresh_root_check.sh [REPO]     REPO: a clone of Olvend (default: the
#                                        one holding this script); its HEAD
#                                        commit is checked
#
# Needs root (debootstrap, chroot, mounts). Settings from the environment:
#   OLVEND_FRESH_ROOT_CACHE   folder of the cached root tarball (/var/cache/olvend)
#   OLVEND_FRESH_ROOT_WORK    where the temporary root is unpacked (/var/tmp)
#   OLVEND_FRESH_RUN_SECONDS  how long the started program must keep running (20)
#   OLVEND_FRESH_RUN_LIMIT    seconds ./run may take to build and start (2400)
#   OLVEND_WERROR             passed on to ./test inside
#   OLVEND_FRESH_CRASH_KILLS  kills per engine of the crash loops inside (50)
#   OLVEND_FRESH_FUZZ_SECONDS seconds per fuzz target inside (10)
#   OLVEND_FRESH_CCACHE       compiler cache folder lent to the root (the
#                             host's, /root/.cache/ccache; "none": a cold one)
#   OLVEND_FRESH_SUITE        0: leave out ./test and the headless ./run (1)
#   OLVEND_FRESH_PACKAGE      0: leave out the package and the second root (1)
#   OLVEND_FRESH_SHOT         where the second root's screenshot is kept
#                             (/var/tmp/olvend-fresh-package.png)
#   OLVEND_FRESH_DEB          a package made before, checked in the second
#                             root instead of one built in the first
#
# The root proves that the packages and the build are complete; the crash
# loops and the fuzz targets run at their full CI lengths in ./test outside,
# so here they run shorter.
set -euo pipefail

suite=bookworm
repo=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cache_dir=${OLVEND_FRESH_ROOT_CACHE:-/var/cache/olvend}
# Keyed on the suite alone: a minbase root of one suite is the same for every
# commit, and apt inside brings it up to date.
tarball=$cache_dir/fresh-root-$suite.tar.zst
work_base=${OLVEND_FRESH_ROOT_WORK:-/var/tmp}
run_seconds=${OLVEND_FRESH_RUN_SECONDS:-20}
run_limit=${OLVEND_FRESH_RUN_LIMIT:-2400}
clone_in_root=/root/olvend
home_in_root=/root/olvend-home

if [ "$(id -u)" -ne 0 ]; then
    echo "fresh_root_check: must run as root (debootstrap, chroot and mounts)" >&2
    exit 2
fi

# --- sections and timings ---------------------------------------------------
script_t0=$(date +%s)
section_name=
section_t0=0
timings=()
end_section() {
    [ -n "$section_name" ] || return 0
    timings+=("$(printf '%-52s %5ds' "$section_name" $(($(date +%s) - section_t0)))")
    section_name=
}
section() {
    end_section
    section_name=$1
    section_t0=$(date +%s)
    printf '\n===== %s =====\n' "$1"
}

# --- mounts, processes and the work folder ----------------------------------
work=
root=
root2= # the second root, of the package check
xvfb_pid=
part=
mounted=() # mount points inside the root, in the order they were mounted

# Processes whose root directory is the chroot: only ones this script started
# (apt, ./test, ./run and what they spawned).
# One find rather than a readlink per process: on a busy machine the scan
# must stay quick, it runs every second while ./run starts.
chroot_pids() {
    local r
    for r in "$root" "$root2"; do
        [ -n "$r" ] || continue
        { find /proc -mindepth 2 -maxdepth 2 -name root -lname "$r" 2>/dev/null || true; } | cut -d/ -f3
    done
}

stop_chroot_processes() {
    local pids
    pids=$(chroot_pids | tr '\n' ' ')
    [ -n "$pids" ] || return 0
    echo "stopping processes left in the root: $pids"
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    for _ in $(seq 1 10); do
        pids=$(chroot_pids)
        [ -n "$pids" ] || return 0
        sleep 1
    done
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    sleep 1
}

# Mount points at or below $1, as findmnt sees them.
mounts_under() {
    findmnt -rn -o TARGET | awk -v d="$1" '$0 == d || index($0, d "/") == 1'
}

do_mount() { # TARGET MOUNT-ARGS...
    local target=$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounted+=("$target")
}

unmount_all() {
    local i m
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        m=${mounted[i]}
        if ! umount "$m" 2>/dev/null; then
            sleep 2
            umount "$m" || umount --lazy "$m" || true
        fi
    done
    mounted=()
}

# Removes the work folder, but only once nothing is mounted below it: a /dev
# bind mount left there would let rm reach the host's devices. Returns
# non-zero, and keeps the folder, when something stays mounted.
remove_work() {
    [ -n "$work" ] && [ -d "$work" ] || return 0
    local left
    left=$(mounts_under "$work")
    if [ -n "$left" ]; then
        # Mounts not in our list, e.g. ones a failed debootstrap left behind.
        while read -r m; do umount --lazy "$m" || true; done < <(printf '%s\n' "$left" | sort -r)
        left=$(mounts_under "$work")
    fi
    if [ -n "$left" ]; then
        echo "fresh_root_check: still mounted, $work is kept:" >&2
        printf '  %s\n' "$left" >&2
        return 1
    fi
    rm -rf --one-file-system "$work"
}

on_exit() {
    local rc=$?
    trap - EXIT INT TERM
    set +e
    if [ "$rc" -ne 0 ] && [ -n "$section_name" ]; then
        echo
        echo "FAILED in: $section_name (exit code $rc)"
    fi
    end_section
    section "clean-up"
    stop_chroot_processes
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    unmount_all
    [ -z "$part" ] || rm -f "$part"
    if ! remove_work; then
        rc=1
    elif [ -n "$(mounts_under "${work:-/nonexistent}")" ]; then
        rc=1
    fi
    end_section
    echo
    echo "===== timings ====="
    printf '%s\n' "${timings[@]}"
    printf '%-52s %5ds\n' "total" $(($(date +%s) - script_t0))
    if [ "$rc" -eq 0 ]; then
        echo "fresh-root check: PASSED"
    else
        echo "fresh-root check: FAILED"
    fi
    exit "$rc"
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- the host's Debian sources ----------------------------------------------
# Prints "URI SUITE" for every deb source of the host, one-line and deb822.
host_sources() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        awk '$1 == "deb" {
                i = 2
                if ($i ~ /^\[/) { while ($i !~ /\]$/ && i < NF) i++; i++ }
                print $i, $(i + 1)
            }' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
            {
                types = ""; uris = ""; suites = ""; enabled = "yes"
                for (i = 1; i <= NF; i++) {
                    if ($i ~ /^#/ || $i !~ /:/) continue
                    key = tolower(substr($i, 1, index($i, ":") - 1))
                    val = substr($i, index($i, ":") + 1)
                    if (key == "types") types = val
                    else if (key == "uris") uris = val
                    else if (key == "suites") suites = val
                    else if (key == "enabled") enabled = tolower(val)
                }
                if (types !~ /(^|[ \t])deb([ \t]|$)/ || enabled ~ /no/) next
                nu = split(uris, u, /[ \t]+/); ns = split(suites, s, /[ \t]+/)
                for (a = 1; a <= nu; a++) for (b = 1; b <= ns; b++)
                    if (u[a] != "" && s[b] != "") print u[a], s[b]
            }' "$f"
    done
}

# host_uri SUITE FALLBACK: the host's URI for that suite.
host_uri() {
    local uri
    uri=$(host_sources | awk -v s="$1" '$2 == s { print $1; exit }')
    uri=${uri:-$2}
    echo "${uri%/}"
}

# =============================================================================
section "host tools"
need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v zstd >/dev/null || need+=(zstd)
command -v git >/dev/null || need+=(git)
if [ ${#need[@]} -gt 0 ]; then
    echo "installing on the host: ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
mirror=$(host_uri "$suite" http://deb.debian.org/debian)
security=$(host_uri "$suite-security" http://deb.debian.org/debian-security)
head=$(git -C "$repo" rev-parse --verify HEAD)
echo "repository: $repo"
echo "commit:     $head"
echo "mirror:     $mirror"
echo "security:   $security"
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
    echo "note: $repo has uncommitted changes; only the commit $head is checked"
fi

mkdir -p "$work_base"
# The physical path: chroot_pids compares it with /proc/PID/root.
work=$(cd "$(mktemp -d "$work_base/olvend-fresh-root.XXXXXX")" && pwd -P)
root=$work/root
mkdir "$root"
echo "work folder: $work"

# =============================================================================
if [ -s "$tarball" ]; then
    section "unpack cached root ($tarball)"
    if tar -I zstd -C "$root" --numeric-owner -xpf "$tarball" && [ -x "$root/usr/bin/apt-get" ]; then
        cached=1
    else
        echo "the cached root is unusable; removing it and bootstrapping anew"
        rm -f "$tarball"
        rm -rf --one-file-system "$root"
        mkdir "$root"
        cached=0
    fi
else
    cached=0
fi

if [ "$cached" -eq 0 ]; then
    section "debootstrap --variant=minbase $suite"
    debootstrap --variant=minbase "$suite" "$root" "$mirror" &
    wait $! # as in in_root below: a TERM or INT is handled at once
    # debootstrap unmounts what it mounted; a root with a mount still inside
    # must not go into the cache.
    if [ -n "$(mounts_under "$root")" ]; then
        echo "debootstrap left mounts below $root" >&2
        exit 1
    fi
    section "cache the bootstrapped root"
    mkdir -p "$cache_dir"
    # Written under a temporary name and renamed only when complete, so an
    # interrupted run never leaves a partial tarball that a later run trusts.
    part=$(mktemp "$cache_dir/.fresh-root-$suite.XXXXXX")
    tar -C "$root" --numeric-owner -cf - . | zstd -q -T2 -f -o "$part"
    zstd -q -t "$part"
    mv -f "$part" "$tarball"
    part=
    ls -l "$tarball"
fi

# prepare_root ROOT: the host's Debian sources, its resolv.conf, no service
# starts, and /proc, /sys, /dev with /dev/pts and /dev/shm mounted.
prepare_root() {
    local r=$1
    cp /etc/resolv.conf "$r/etc/resolv.conf"
    # The same Debian sources as the host.
    rm -f "$r/etc/apt/sources.list"
    cat >"$r/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: $security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    # Package scripts must not start services (the postgresql package would
    # start its default cluster) inside the chroot: they would outlive the
    # check and keep the mounts busy. This is how Debian's own chroot
    # builders do it.
    printf '#!/bin/sh\nexit 101\n' >"$r/usr/sbin/policy-rc.d"
    chmod 755 "$r/usr/sbin/policy-rc.d"

    do_mount "$r/proc" -t proc proc
    do_mount "$r/sys" -t sysfs sysfs -o ro
    # A private bind: mounts below it must not spread to the host's /dev.
    do_mount "$r/dev" --bind /dev
    mount --make-private "$r/dev"
    do_mount "$r/dev/pts" --bind /dev/pts
    # A tmpfs of its own for PostgreSQL's shared memory.
    do_mount "$r/dev/shm" -t tmpfs shm -o mode=1777,nosuid,nodev
}

# =============================================================================
section "prepare the root: apt sources, resolv.conf, mounts"
prepare_root "$root"
# The host's compiler cache, so that the root's three builds (tests, fuzz
# targets, ./run) do not compile everything cold. It proves no less: an object
# comes from the cache only when every header it includes is found in the
# root with the same content, and the compiler, the linker and every package
# are the root's own.
ccache_dir=${OLVEND_FRESH_CCACHE:-/root/.cache/ccache}
if [ "$ccache_dir" != none ] && [ -d "$ccache_dir" ]; then
    do_mount "$root/root/.cache/ccache" --bind "$ccache_dir"
fi
findmnt -rn -o TARGET,FSTYPE | awk -v d="$root" 'index($1, d "/") == 1'

# Runs a command line in the root as root, with a clean environment;
# in_chroot ROOT COMMAND... the same in another root.
in_root() {
    in_chroot "$root" "$@"
}
in_chroot() {
    local r=$1
    shift
    local envs=(HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
    if [ -n "${OLVEND_WERROR:-}" ]; then envs+=("OLVEND_WERROR=$OLVEND_WERROR"); fi
    envs+=("OLVEND_CRASH_KILLS=${OLVEND_FRESH_CRASH_KILLS:-50}" "OLVEND_FUZZ_SECONDS=${OLVEND_FRESH_FUZZ_SECONDS:-10}")
    # Run in the background and waited for: bash runs a trap only once the
    # foreground command has ended, but interrupts a wait at once, so a TERM
    # or INT cleans up now rather than when ./test is through.
    chroot "$r" /usr/bin/env -i "${envs[@]}" "$@" &
    wait $!
}

# =============================================================================
section "apt-get update; install git ca-certificates"
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends git ca-certificates

# =============================================================================
section "clone $head"
git clone -q --no-hardlinks "$repo" "$root$clone_in_root"
git -C "$root$clone_in_root" checkout -q --detach "$head"
# The root's own git reads the clone: the commit must be the one under test.
got=$(in_root git -C "$clone_in_root" rev-parse HEAD)
if [ "$got" != "$head" ]; then
    echo "the clone is at $got, not at $head" >&2
    exit 1
fi
in_root git -C "$clone_in_root" log -1 --format='%h %s'

suite_on=${OLVEND_FRESH_SUITE:-1}
package_on=${OLVEND_FRESH_PACKAGE:-1}

if [ "$suite_on" != 0 ]; then
# =============================================================================
section "./test in the fresh root"
in_root /bin/bash -c "cd $clone_in_root && ./test"

# =============================================================================
section "headless ./run in the fresh root"
run_log=$work/run.log
program=$root$clone_in_root/build-run/src/olvend
# ./run installs, builds, then replaces itself with the program, which shows
# the log-in dialog and waits. timeout bounds the build and the start.
timeout --kill-after=10 "$run_limit" \
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    QT_QPA_PLATFORM=offscreen OLVEND_HOME="$home_in_root" \
    /bin/bash -c "cd $clone_in_root && exec ./run" > >(tee "$run_log") 2>&1 &
run_pid=$!

program_pid=
started_at=0
while kill -0 "$run_pid" 2>/dev/null; do
    if [ -z "$program_pid" ]; then
        for p in $(chroot_pids); do
            if [ -e "$program" ] && [ "/proc/$p/exe" -ef "$program" ]; then
                program_pid=$p
                started_at=$(date +%s)
                echo "the program runs (pid $p); waiting ${run_seconds}s"
                break
            fi
        done
    elif [ $(($(date +%s) - started_at)) -ge "$run_seconds" ]; then
        break
    fi
    sleep 1
done

run_failed=
if ! kill -0 "$run_pid" 2>/dev/null; then
    run_rc=0
    wait "$run_pid" || run_rc=$?
    if [ -z "$program_pid" ]; then
        run_failed="./run ended with exit code $run_rc before the program started"
    else
        run_failed="the program ended with exit code $run_rc after $(($(date +%s) - started_at))s, before ${run_seconds}s"
    fi
    [ "$run_rc" -ne 124 ] || run_failed="$run_failed (the ${run_limit}s limit ran out)"
else
    echo "still running after ${run_seconds}s"
    for f in config.ini db/System.db db/UserAccountBook001.db; do
        if [ -s "$root$home_in_root/$f" ]; then
            echo "  found $home_in_root/$f"
        else
            run_failed="${run_failed:+$run_failed; }the program folder has no $f"
        fi
    done
    kill -TERM "$program_pid" 2>/dev/null || true
    wait "$run_pid" || true
fi
if [ -n "$run_failed" ]; then
    echo "--- last lines of its output ---"
    tail -n 40 "$run_log"
    echo "headless ./run FAILED: $run_failed"
    exit 1
fi
echo "headless ./run: passed"
end_section
fi # suite_on

if [ "$package_on" != 0 ]; then
    # shellcheck source=tools/fresh_root_package.sh
    source "$(dirname "${BASH_SOURCE[0]}")/fresh_root_package.sh"
fi
