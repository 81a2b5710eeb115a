#!/bin/sh
# Runs pg_like_bench against a PostgreSQL server of its own (the tests'
# server program), started in a temporary folder and stopped at the end.
#
#   bench/pg_like_bench.sh BUILD_DIR [benchmark options]
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [benchmark options]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
record=$(mktemp -d)
"$build/tests/korvane_postgres_fixture" start "$record"
trap '"$build/tests/korvane_postgres_fixture" stop "$record"; rm -rf "$record"' EXIT
socket=$(cat "$record/server-folder")
psql "postgresql://postgres@/postgres?host=$socket" -qc "CREATE DATABASE like_bench"
KORVANE_BENCH_POSTGRES="postgresql://postgres@/like_bench?host=$socket" "$build/bench/pg_like_bench" "$@"
