#!/bin/sh
# Times a catalogue build of a whole tree against du and duc, interleaved,
# with the shared bench-run harness; then prints the catalogue's size.
#
#   bench/scan_bench.sh BUILD_DIR TREE WORK [RUNS] [--only a,b]
#
# BUILD_DIR is a build of this source (its static libraries, and its korvane
# program when one was built); TREE a tree from make-tree, e.g.
#   ../shared/bench/make-tree /work/bench-data/T1m --files 1000000 --seed 1
# WORK a scratch folder outside the repository. Needs GNU time and duc
# (Debian packages time, duc). On a machine other work keeps busy, run it
# as root under "chrt -f 10" so every tool gets the processors in turn.
set -eu
if [ $# -lt 3 ]; then
    echo "usage: $0 BUILD_DIR TREE WORK [RUNS] [--only a,b]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=$(cd "$1" && pwd)
tree=$(cd "$2" && pwd)
mkdir -p "$3"
work=$(cd "$3" && pwd)
runs=${4:-5}
shift 3
[ $# -gt 0 ] && shift
bench_run=${BENCH_RUN:-$source_dir/../shared/bench/bench-run}
files=$(find "$tree" -mindepth 1 ! -type d | wc -l)

# scan_main: the build's own when it has one, else compiled here against
# the build's static libraries.
mkdir -p "$work/bin"
if [ -x "$build/bench/scan_main" ]; then
    cp "$build/bench/scan_main" "$work/bin/scan_main"
else
    b=$build
    c++ -std=c++20 -O2 -I "$source_dir/src" $(pkg-config --cflags libpq) "$here/scan_main.cpp" -o "$work/bin/scan_main" \
        "$b/libkorvane_scan.a" "$b/libkorvane_catalogue.a" "$b/libkorvane_owners.a" "$b/libkorvane_ftp.a" \
        "$b/libkorvane_app.a" "$b/libkorvane_platform.a" \
        $(pkg-config --libs Qt6Core Qt6Network blkid sqlite3 libpq) -lpthread
fi
[ -x "$build/korvane" ] && ln -sf "$build/korvane" "$work/bin/korvane"

# An empty catalogue (the Computer row only), the installation folders and
# the one-line script.
rm -f "$work/empty.db" "$work/empty.db-wal" "$work/empty.db-shm"
"$work/bin/scan_main" "$work/empty.db" "" --create >/dev/null
mkdir -p "$work/home" "$work/home2"
printf '[Options]\r\nDatabase=%s\r\n' "$work/home/Korvane.db" >"$work/home/Korvane.ini"
printf '[Options]\r\nDatabase=%s\r\n' "$work/home2/Korvane.db" >"$work/home2/Korvane.ini"
cp "$work/empty.db" "$work/home/Korvane.db"
cp "$work/empty.db" "$work/home2/Korvane.db"
cp "$work/empty.db" "$work/sm2.db"
printf '[Schedule]\r\nStartup=01/01/2000 00:00:00\r\nInterval=None\r\n\r\n[Script]\r\nLines=1\r\nScriptLine[0]=Scan "%s"\r\n' \
    "$tree" >"$work/scan.sch"

only=""
[ -x "$work/bin/korvane" ] || only="du,duc-index,scan-main,scan-main-direct,scan-main-rescan"
[ $# -gt 0 ] && [ "$1" = "--only" ] && only=$2
PATH="$work/bin:$PATH" python3 "$bench_run" "$here/scan_peers.runs" --tree "$tree" --work "$work" \
    --runs "$runs" --files "$files" --json "$work/scan_bench.json" --title "Catalogue build of $tree" \
    ${only:+--only "$only"}

# What the last build left: rows and bytes per file.
for db in "$work/sm.db" "$work/home/Korvane.db"; do
    [ -f "$db" ] || continue
    [ "$(sqlite3 "$db" 'SELECT count(*) FROM File')" -gt 0 ] || continue
    rows=$(sqlite3 "$db" 'SELECT (SELECT count(*) FROM File) || " files, " || (SELECT count(*) FROM Folder) || " folders"')
    bytes=$(stat -c %s "$db")
    echo "$db: $rows, $bytes bytes, $(awk -v b="$bytes" -v f="$files" 'BEGIN { printf "%.1f", b / f }') bytes per file"
done
