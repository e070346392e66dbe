# Sourced by tools/fresh_root_check.sh once its first root is prepared (and,
# unless left out, has run ./test and ./run): proves the Debian package.
#
#   1. tools/package.sh builds the package in the first root, and
#      tools/package_check.sh checks it there (lintian and the validators).
#   2. A second root is unpacked from the same cached tarball (no second
#      debootstrap); it has no compiler and no build tool.
#   3. apt-get installs the package there, pulling in only what the
#      package's dependencies name.
#   4. An ordinary user runs olvendctl and starts olvend on an X server of
#      the host; a screenshot must show more than one colour.
#   5. apt-get remove olvend takes the programs away and leaves the user's
#      program folder.
#
# Uses the functions and variables of fresh_root_check.sh: section, in_root,
# in_chroot, prepare_root, do_mount, root, root2, work, tarball,
# clone_in_root and xvfb_pid (stopped by its clean-up).

shot=${OLVEND_FRESH_SHOT:-/var/tmp/olvend-fresh-package.png}
dist_in_root=/root/olvend-dist

# =============================================================================
if [ -n "${OLVEND_FRESH_DEB:-}" ]; then
    # A package made before (for a quicker look at the steps below).
    section "the package given in OLVEND_FRESH_DEB"
    deb=$(cd "$(dirname "$OLVEND_FRESH_DEB")" && pwd)/$(basename "$OLVEND_FRESH_DEB")
else
    section "tools/package.sh in the first root"
    in_root /bin/bash -c "cd $clone_in_root && tools/package.sh $dist_in_root"
    shopt -s nullglob
    debs=("$root$dist_in_root"/olvend_*.deb)
    shopt -u nullglob
    if [ ${#debs[@]} -ne 1 ]; then
        echo "tools/package.sh left ${#debs[@]} olvend_*.deb in $dist_in_root, not one" >&2
        exit 1
    fi
    deb=${debs[0]}
    section "tools/package_check.sh in the first root (lintian, desktop entry, AppStream)"
    in_root /bin/bash -c "cd $clone_in_root && tools/package_check.sh $dist_in_root/$(basename "$deb")"
fi
deb_version=$(dpkg-deb -f "$deb" Version)
echo "package: $(basename "$deb"), version $deb_version"
dpkg-deb -f "$deb" Depends Recommends

# =============================================================================
section "second root from $tarball, without build tools"
root2=$work/root2
mkdir "$root2"
tar -I zstd -C "$root2" --numeric-owner -xpf "$tarball"
prepare_root "$root2"
for tool in cc gcc g++ c++ cmake make ninja; do
    if [ -e "$root2/usr/bin/$tool" ]; then
        echo "the second root has $tool: it must have no build tool" >&2
        exit 1
    fi
done

# =============================================================================
section "apt-get install ./$(basename "$deb") in the second root"
cp "$deb" "$root2/tmp/"
in_chroot "$root2" apt-get update -qq
# Without the recommended packages, to keep the check short, but with the
# font the report pages draw with, so that the window shows its Chinese
# texts.
in_chroot "$root2" apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" fonts-arphic-uming
in_chroot "$root2" dpkg-query -W -f='${Package} ${Version} ${Status}\n' olvend
for f in /usr/bin/olvend /usr/bin/olvendctl /usr/share/man/man1/olvendctl.1.gz /usr/share/applications/olvend.desktop; do
    if [ ! -e "$root2$f" ]; then
        echo "the installed package has no $f" >&2
        exit 1
    fi
done

# =============================================================================
section "an ordinary user runs olvendctl"
in_chroot "$root2" useradd -m -s /bin/bash clerk
# Runs a command as the user clerk in the second root; leading NAME=VALUE
# words are set in its environment.
as_clerk() {
    in_chroot "$root2" runuser -u clerk -- /usr/bin/env -i HOME=/home/clerk USER=clerk LOGNAME=clerk \
        LANG=C.UTF-8 PATH=/usr/bin:/bin "$@"
}
# The installed program names its version and keeps the user's books in
# ~/.local/share/olvend.
if ! as_clerk olvendctl --version >"$work/version.txt" 2>&1; then
    cat "$work/version.txt" >&2
    echo "olvendctl --version failed" >&2
    exit 1
fi
cat "$work/version.txt"
if ! grep -qF "$deb_version" "$work/version.txt" ||
    ! grep -qF "/home/clerk/.local/share/olvend" "$work/version.txt"; then
    echo "olvendctl --version does not name the package's version $deb_version and ~/.local/share/olvend" >&2
    exit 1
fi
user_home=/home/clerk/.local/share/olvend
as_clerk olvendctl init
as_clerk olvendctl books | tee "$work/books.txt"
if ! grep -q "默认帐册" "$work/books.txt"; then
    echo "olvendctl books does not list the first book 默认帐册" >&2
    exit 1
fi
if [ ! -s "$root2$user_home/config.ini" ]; then
    echo "the program folder $user_home has no config.ini" >&2
    exit 1
fi

# =============================================================================
section "olvend on an X server, as the user"
need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v import >/dev/null || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
    echo "installing on the host: ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
# A display number no X server of the host uses.
display_number=
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display_number=$n
        break
    fi
done
if [ -z "$display_number" ]; then
    echo "no free X display number from 90 to 140" >&2
    exit 1
fi
Xvfb ":$display_number" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 20); do
    [ -S "/tmp/.X11-unix/X$display_number" ] && break
    sleep 0.5
done
if [ ! -S "/tmp/.X11-unix/X$display_number" ]; then
    echo "Xvfb :$display_number did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
# The root reaches the host's X server through its socket.
do_mount "$root2/tmp/.X11-unix" --bind /tmp/.X11-unix

as_clerk DISPLAY=":$display_number" QT_QPA_PLATFORM=xcb olvend >"$work/olvend.log" 2>&1 &
gui_pid=$!
colours=0
for _ in $(seq 1 60); do
    sleep 1
    if ! kill -0 "$gui_pid" 2>/dev/null; then
        break
    fi
    if import -display ":$display_number" -window root "$work/shot.png" 2>/dev/null; then
        # A screenshot caught half-written is taken again.
        colours=$(convert "$work/shot.png" -format %k info: 2>/dev/null) || colours=0
        [ "$colours" -gt 1 ] && break
    fi
done
if ! kill -0 "$gui_pid" 2>/dev/null; then
    gui_rc=0
    wait "$gui_pid" || gui_rc=$?
    echo "olvend ended with exit code $gui_rc before showing a window; its output:" >&2
    tail -n 40 "$work/olvend.log" >&2
    exit 1
fi
mkdir -p "$(dirname "$shot")"
cp "$work/shot.png" "$shot"
echo "screenshot: $shot ($colours colours)"
if [ "$colours" -le 1 ]; then
    echo "the screen stayed one colour: olvend showed no window" >&2
    exit 1
fi
# The program was started through in_chroot and runuser; the process of
# olvend itself is stopped, which ends the others.
for p in $(chroot_pids); do
    if [ "/proc/$p/exe" -ef "$root2/usr/bin/olvend" ]; then
        kill -TERM "$p" 2>/dev/null || true
    fi
done
wait "$gui_pid" 2>/dev/null || true

# =============================================================================
section "apt-get remove olvend; the user's folder stays"
in_chroot "$root2" apt-get remove -y -qq olvend
for f in /usr/bin/olvend /usr/bin/olvendctl; do
    if [ -e "$root2$f" ]; then
        echo "$f is still there after apt-get remove olvend" >&2
        exit 1
    fi
done
for f in config.ini db/System.db db/UserAccountBook001.db; do
    if [ ! -s "$root2$user_home/$f" ]; then
        echo "$user_home/$f is gone after apt-get remove olvend" >&2
        exit 1
    fi
    echo "  kept $user_home/$f"
done
echo "package check in the second root: passed"
end_section
