#!/usr/bin/env bash
# Builds Olvend for release and makes the Debian package of it:
#
#   tools/package.sh [OUTDIR]     OUTDIR/olvend_VERSION_ARCH.deb
#                                 (default OUTDIR: dist/ in the clone)
#
# Installs what is missing (tools/deps.sh, plus dpkg-dev and file, which
# CPack's DEB generator uses to compute the package's dependencies from the
# binaries), configures a Release tree in build-pkg/ with compiler warnings
# shown (OLVEND_WERROR=1 turns them into errors) and Debian's hardening
# flags, builds the two programs and the package files, and runs CPack.
# Prints the package's path on the last line.
set -euo pipefail
OLVEND_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export OLVEND_ROOT
source "$OLVEND_ROOT/tools/deps.sh"

outdir=${1:-$OLVEND_ROOT/dist}
builddir=$OLVEND_ROOT/build-pkg

OLVEND_PACKAGES+=(dpkg-dev file)
olvend_install_deps

werror=OFF
case "${OLVEND_WERROR:-0}" in
    1 | ON | on | yes | true) werror=ON ;;
esac

# Debian's compiler and linker flags for packages (fortified functions,
# stack protector, read-only relocations, immediate binding); without -g,
# as the package's binaries are stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

OLVEND_CMAKE_ARGS+=(
    -DOLVEND_WERROR="$werror" -DOLVEND_SANITIZE=OFF
    -DCMAKE_INSTALL_PREFIX=/usr
    "-DCMAKE_CXX_FLAGS=$cxxflags"
    "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
    # cpack installs without building everything first: the tests and the
    # benchmarks are not part of the package, only the targets built below.
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
)
olvend_build "$builddir" Release olvend olvendctl olvend_package_files

# CPack works in a folder of its own below the build tree; only the .deb
# goes to OUTDIR.
staging=$builddir/cpack
rm -rf "$staging"
(cd "$builddir" && cpack -G DEB -B "$staging")
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
shopt -s nullglob
debs=("$staging"/olvend_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    echo "package.sh: expected one olvend_*.deb from cpack, found ${#debs[@]}" >&2
    exit 1
fi
mv -f "${debs[0]}" "$outdir/"
echo "$outdir/$(basename "${debs[0]}")"
