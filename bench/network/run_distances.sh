#!/bin/bash
# Runs bench_distance against a throwaway PostgreSQL server of its own on
# the loopback interface, which goes again when the run ends.
#
#   bench/network/run_distances.sh [path/to/bench_distance]
#
# (build-rel/bench/bench_distance by default; OLVEND_BENCH_QUOTATIONS and
# OLVEND_BENCH_PROFILES are passed on).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../../build-rel/bench/bench_distance}
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_pg=()
if [ "$(id -u)" -eq 0 ]; then
    as_pg=(runuser -u postgres --)
fi
pgdir=$(mktemp -d /tmp/olvend-bench-pg.XXXXXX)
chmod 755 "$pgdir"
if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$pgdir"
fi
stop() {
    "${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$pgdir"
}
trap stop EXIT
port=$((20000 + RANDOM % 30000))
"${as_pg[@]}" "$pgbin/initdb" -D "$pgdir/data" -U olvend_bench --auth=trust -E UTF8 --locale=C.UTF-8 >/dev/null
"${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
    -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c shared_buffers=512MB" start >/dev/null
OLVEND_BENCH_PG="host=127.0.0.1;port=$port;user=olvend_bench" "$bench"
