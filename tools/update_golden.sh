#!/usr/bin/env bash
# Writes the tests' golden files (tests/golden/) afresh from what the program
# produces now: builds, runs the chosen tests (all by default) with
# OLVEND_UPDATE_GOLDEN=1, and shows what changed. Read the diff before
# committing it: a golden file is what a clerk sees on paper or on screen.
#
#   tools/update_golden.sh [CTEST-ARGS...]     e.g. -R printouts
set -euo pipefail
cd "$(dirname "$0")/.."
# Any argument keeps ./test from running the fuzz targets after the suite.
[ $# -gt 0 ] || set -- --output-on-failure
OLVEND_UPDATE_GOLDEN=1 ./test "$@"
git status --short tests/golden
