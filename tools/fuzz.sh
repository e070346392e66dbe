#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer,
# UBSan) and runs them.
#
#   tools/fuzz.sh [TARGET...]          every target (or those named) for
#                                      $OLVEND_FUZZ_SECONDS seconds each (60)
#   tools/fuzz.sh --run TARGET FILE... runs one target on the given inputs
#                                      (a reproducer, a corpus folder)
#   tools/fuzz.sh --list               names the targets
#
# Targets are named as in tests/fuzz (fuzz_ini_file or ini_file). Each runs
# from a copy of its seed corpus (tests/fuzz/corpus/NAME, left unchanged)
# with its dictionary (tests/fuzz/dict/NAME.dict), at most
# $OLVEND_FUZZ_JOBS at a time (2). Any crash, leak, timeout, out-of-memory or
# sanitizer report is a finding: its input is kept under
# $OLVEND_FUZZ_BUILD/findings/NAME/ and the script exits with 1.
#
# Environment: OLVEND_FUZZ_BUILD (build folder, $OLVEND_ROOT/build-fuzz),
# OLVEND_FUZZ_SECONDS, OLVEND_FUZZ_JOBS, OLVEND_FUZZ_KEEP=1 (the work corpora
# and logs stay in $OLVEND_FUZZ_BUILD/runs instead of a temporary folder, and
# the next run with it goes on from those corpora).
set -euo pipefail

OLVEND_ROOT=${OLVEND_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
fuzzsrc=$OLVEND_ROOT/tests/fuzz
builddir=${OLVEND_FUZZ_BUILD:-$OLVEND_ROOT/build-fuzz}
seconds=${OLVEND_FUZZ_SECONDS:-60}
jobs=${OLVEND_FUZZ_JOBS:-2}

die() {
    echo "fuzz.sh: $*" >&2
    exit 2
}

all_targets() {
    local f
    for f in "$fuzzsrc"/fuzz_*.cpp; do
        f=${f##*/}
        echo "${f%.cpp}"
    done
}

# fuzz_NAME for NAME or fuzz_NAME; dies for an unknown one.
target_name() {
    local t=${1#fuzz_}
    [ -f "$fuzzsrc/fuzz_$t.cpp" ] || die "no fuzz target '$1' (see --list)"
    echo "fuzz_$t"
}

build() {
    command -v clang++ >/dev/null || die "clang++ is missing: source tools/deps.sh; olvend_install_deps"
    command -v ninja >/dev/null || die "ninja is missing: source tools/deps.sh; olvend_install_deps"
    # Through ccache when it is there, as the other builds (tools/deps.sh).
    local launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$OLVEND_ROOT} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
    fi
    cmake -S "$fuzzsrc" -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
    cmake --build "$builddir" -j "$(nproc)"
}

# Sanitizer settings of every run: stop at the first report, no recovery, and
# the leaks of libraries outside the program left out (tests/fuzz/lsan.supp).
# Freed memory goes back to the system: a picture is read at up to about
# 250 MB and freed again, and memory the sanitizer kept for itself made the
# process's size creep past the limit below over a long run while the live
# heap stayed under 200 MB. What a single input takes is bounded by
# -malloc_limit_mb instead: no allocation may pass 512 MB.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:allocator_may_return_null=1:symbolize=1:allocator_release_to_os_interval_ms=500:quarantine_size_mb=64
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:symbolize=1
export LSAN_OPTIONS=suppressions=$fuzzsrc/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen

if [ "${1:-}" = --list ]; then
    all_targets
    exit 0
fi

if [ "${1:-}" = --run ]; then
    [ $# -ge 3 ] || die "usage: tools/fuzz.sh --run TARGET FILE..."
    target=$(target_name "$2")
    shift 2
    build
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/olvend-fuzz-run.XXXXXX")
    trap 'rm -rf "$scratch"' EXIT
    rc=0
    TMPDIR=$scratch "$builddir/$target" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 "$@" </dev/null || rc=$?
    exit "$rc"
fi

targets=()
if [ $# -gt 0 ]; then
    for t in "$@"; do
        targets+=("$(target_name "$t")")
    done
else
    mapfile -t targets < <(all_targets)
fi
[[ $seconds =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || die "OLVEND_FUZZ_SECONDS must be a number of seconds"
[[ $jobs =~ ^[0-9]+$ ]] && [ "$jobs" -gt 0 ] || die "OLVEND_FUZZ_JOBS must be a number"

build

if [ "${OLVEND_FUZZ_KEEP:-0}" = 1 ]; then
    work=$builddir/runs
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/olvend-fuzz.XXXXXX")
fi
# The targets that read files by name write each input to a scratch folder;
# in memory (/dev/shm) that costs no disk writes and no syncs.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d /dev/shm/olvend-fuzz.XXXXXX)
else
    scratch=$work/scratch
    mkdir -p "$scratch"
fi
cleanup() {
    rm -rf "$scratch"
    if [ "${OLVEND_FUZZ_KEEP:-0}" != 1 ]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# run_target NAME: fuzzes one target; its log and status go to $work.
run_target() {
    local target=$1 name=${1#fuzz_}
    local dir=$work/$name findings=$builddir/findings/$name
    # What an earlier run found stays only until the target runs again.
    rm -rf "$findings"
    mkdir -p "$dir/corpus" "$scratch/$name" "$findings"
    if [ -d "$fuzzsrc/corpus/$name" ]; then
        cp -r "$fuzzsrc/corpus/$name/." "$dir/corpus/"
    fi
    rm -f "$dir/log" "$dir/cpu" "$dir/status"
    local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1
        -artifact_prefix="$findings/")
    if [ -f "$fuzzsrc/dict/$name.dict" ]; then
        args+=(-dict="$fuzzsrc/dict/$name.dict")
    fi
    local rc=0
    # The outer limit only catches a target that never starts fuzzing. The
    # target's processor time (user and system) goes to $dir/cpu.
    local TIMEFORMAT='%U %S'
    { time (cd "$dir" && TMPDIR=$scratch/$name timeout --kill-after=30 $((seconds + 300)) \
        "$builddir/$target" "${args[@]}" corpus </dev/null >"$dir/log" 2>&1); } 2>"$dir/cpu" || rc=$?
    echo "$rc" >"$dir/status"
}

# Prints the summary line of one target, and the finding if there is one;
# returns 1 for a finding.
report_target() {
    local target=$1 name=${1#fuzz_}
    local dir=$work/$name findings=$builddir/findings/$name
    local rc runs secs files size cov cpu
    rc=$(cat "$dir/status")
    cpu=$(awk '{ printf "%d", $1 + $2 }' "$dir/cpu" 2>/dev/null || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$dir/log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)
    files=$(find "$dir/corpus" -type f | wc -l)
    size=$(du -sk "$dir/corpus" | cut -f1)
    local seeds=0
    if [ -d "$fuzzsrc/corpus/$name" ]; then
        seeds=$(find "$fuzzsrc/corpus/$name" -type f | wc -l)
    fi
    local kind=
    if grep -q -E 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|==== broken property|ALARM: working on the last Unit|out-of-memory' "$dir/log"; then
        kind=finding
    elif [ "$rc" -ne 0 ]; then
        kind="exit status $rc"
    fi
    printf '%-18s %10s runs in %4s s (%s s of processor time), corpus %s files (%s KiB) from %s seeds, coverage %s%s\n' \
        "$name" "${runs:-?}" "${secs:-?}" "${cpu:-?}" "$files" "$size" "$seeds" "${cov:-?}" "${kind:+  ** $kind **}"
    [ -z "$kind" ] && return 0
    local artifact
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$dir/log" | tail -n 1)
    echo "    reproducer: ${artifact:-none written} (tools/fuzz.sh --run $name ${artifact:-FILE})"
    # The report's first lines: the sanitizer's or libFuzzer's own, else the
    # end of the log.
    local first
    first=$(grep -n -m 1 -E '^==[0-9]+==ERROR|runtime error:|==== broken property|ALARM:|ERROR: libFuzzer' "$dir/log" |
        cut -d: -f1 || true)
    if [ -n "$first" ]; then
        sed -n "${first},$((first + 24))p" "$dir/log" | sed 's/^/    | /'
    else
        tail -n 25 "$dir/log" | sed 's/^/    | /'
    fi
    cp "$dir/log" "$findings/last.log"
    echo "    whole log: $findings/last.log"
    return 1
}

echo "Fuzzing ${#targets[@]} targets for $seconds s each, $jobs at a time"
running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$t" &
    running=$((running + 1))
done
wait || true

failed=0
for t in "${targets[@]}"; do
    report_target "$t" || failed=1
done
if [ "$failed" -ne 0 ]; then
    echo "fuzz.sh: findings above; inputs kept in $builddir/findings" >&2
    exit 1
fi
echo "fuzz.sh: no findings"
