#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# but only when one of them is missing, so a second run costs nothing.
set -euo pipefail

OLVEND_PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format ccache
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
    libxlsxwriter-dev libsodium-dev libbenchmark-dev libsqlite3-dev libpq-dev
    # Reading spreadsheets (.xlsx): ZIP archives of XML parts.
    libzip-dev
    # libxlsxwriter's pkg-config file asks for zlib, but its package does not
    # bring the headers and the link library.
    zlib1g-dev
    # Qt's own texts (standard buttons, dialogs) in Chinese.
    qt6-translations-l10n
    fonts-noto-cjk postgresql xvfb imagemagick xauth xdotool poppler-utils unzip
    # Report pages draw 宋体 with AR PL UMing: its characters have glyphs of
    # their own, so the text of a PDF reads back as it was drawn.
    fonts-arphic-uming
    # tools/fuzz.sh: clang 14 with lld, and the runtimes of libFuzzer and the
    # sanitizers (libclang_rt.fuzzer and friends), which clang only
    # recommends.
    clang lld libclang-rt-14-dev
    # The manual pages are made from the README at every build, and groff
    # reads them back in a test.
    python3 groff-base
    # The Unicode Han database: the pinyin initials of the ideographs are
    # read from it at build time.
    unicode-data
)

olvend_missing_packages() {
    local missing=()
    for p in "${OLVEND_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

olvend_install_deps() {
    local missing
    missing=$(olvend_missing_packages)
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# Extra cache settings for olvend_build; a script that sources this file may
# add to them (./test passes OLVEND_WERROR and OLVEND_SANITIZE this way).
OLVEND_CMAKE_ARGS=()

# Compilations go through ccache: a second clone or build folder of the same
# sources compiles from the cache. Paths below the clone are hashed relative
# to it (and the build folder not at all), so that clones in other places
# share the cache; an object comes from the cache only for the same source,
# flags and compiler.
OLVEND_CMAKE_ARGS+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$OLVEND_ROOT}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}

# olvend_build DIR TYPE [TARGET...]: configures and builds (all targets when
# none are named).
olvend_build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$OLVEND_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${OLVEND_CMAKE_ARGS[@]}" >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build "$dir" -j "$(nproc)" --target "$@"
    else
        cmake --build "$dir" -j "$(nproc)"
    fi
}
