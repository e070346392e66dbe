#!/usr/bin/env bash
# Fails when a tracked .cpp or .h file differs from what clang-format makes of
# it under the repository's .clang-format, and names every such file. Changes
# nothing; `clang-format -i FILE` applies the format.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || {
    echo "clang-format is missing (./test installs it)" >&2
    exit 2
}

# Only tracked files: build folders and generated sources are not ours to
# format.
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
    echo "clang-format: no tracked .cpp or .h files found" >&2
    exit 2
fi

# One clang-format process for all files; it reports each difference as
# "FILE:LINE:COL: error: code should be clang-formatted".
status=0
report=$(clang-format --style=file --dry-run -Werror "${files[@]}" 2>&1) || status=$?
mapfile -t differ < <(printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)

echo "clang-format: ${#files[@]} files checked, ${#differ[@]} differ"
if [ ${#differ[@]} -gt 0 ]; then
    printf '  %s\n' "${differ[@]}"
    echo "first differences:"
    printf "%s\n" "$report" | head -n 40 || true
fi
if [ "$status" -ne 0 ] || [ ${#differ[@]} -gt 0 ]; then
    # Also covers a failure that names no file (a broken .clang-format).
    [ ${#differ[@]} -gt 0 ] || printf '%s\n' "$report" | head -n 40 || true
    exit 1
fi
