#!/usr/bin/env bash
# The FTP scan of a 10,000-file site served on loopback (python3-pyftpdlib),
# timed against lftp listing the same site recursively (find -l /), in the
# same run and interleaved. Prints the medians and the ratio.
#   bash bench/ftp_scan_bench.sh [rounds, default 5] [files, default 10000]
# BUILD: build folder for the benchmark (default: build-bench in the repo).
# Needs the Debian packages python3-pyftpdlib, lftp and libbenchmark-dev.
set -euo pipefail

rounds="${1:-5}"
files="${2:-10000}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${BUILD:-$root/build-bench}"
python=/usr/bin/python3

for need in lftp cmake; do
  command -v "$need" > /dev/null || { echo "ftp bench: $need not found" >&2; exit 1; }
done
"$python" -c 'import pyftpdlib' 2> /dev/null || { echo "ftp bench: install python3-pyftpdlib" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-ftp-bench-XXXXXX")"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2> /dev/null || true; wait "$server_pid" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The tree: the team's realistic generator when it is there, else a plain one.
make_tree="${KORVANE_SHARED:-$root/../shared}/bench/make-tree"
if [ -f "$make_tree" ]; then
  "$python" "$make_tree" "$work/site" --files "$files" --seed 1 > /dev/null
else
  "$python" - "$work/site" "$files" << 'EOF'
import os, sys
root, total = sys.argv[1], int(sys.argv[2])
for i in range(total):
    folder = os.path.join(root, "d%02d" % (i % 25), "e%02d" % (i // 25 % 20))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "file %05d.txt" % i), "wb") as out:
        out.truncate(i * 37)
EOF
fi

cat > "$work/server.py" << 'EOF'
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
root, port_file = sys.argv[1:3]
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), FTPHandler)
with open(port_file + ".part", "w") as out:
    out.write(str(server.socket.getsockname()[1]))
os.rename(port_file + ".part", port_file)
server.serve_forever()
EOF
"$python" "$work/server.py" "$work/site" "$work/port" > "$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.1; done
[ -f "$work/port" ] || { echo "ftp bench: the server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
port="$(cat "$work/port")"

if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_UI=OFF -DKORVANE_BUILD_TESTS=OFF \
         -DKORVANE_BUILD_BENCH=ON && cmake --build "$build" --target ftp_scan_bench -j2; } > "$work/build.log" 2>&1; then
  tail -40 "$work/build.log" >&2
  exit 1
fi

export KORVANE_FTP_BENCH_PORT="$port" TMPDIR="$work"
"$python" - "$rounds" "$build/bench/ftp_scan_bench" "$port" "$work" << 'EOF'
import json, statistics, subprocess, sys, time
rounds, bench, port, work = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
runs = {
    "korvane FTP scan, passive": [bench, "--benchmark_filter=BM_FtpScanSite/passive:1/",
                                  "--benchmark_min_time=0", "--benchmark_format=json"],
    "korvane FTP scan, active": [bench, "--benchmark_filter=BM_FtpScanSite/passive:0/",
                                 "--benchmark_min_time=0", "--benchmark_format=json"],
    "lftp find -l /": ["lftp", "-c", "open -u anonymous,guest@example.org -p %s 127.0.0.1; find -l /" % port],
}
names = list(runs)
times = {name: [] for name in names}
counts = {}

def run(name):
    start = time.perf_counter()
    done = subprocess.run(runs[name], capture_output=True, text=True, errors="replace")
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed: %s" % (name, done.stderr[-2000:]))
    if name.startswith("korvane"):
        result = json.loads(done.stdout)["benchmarks"][0]
        if result.get("error_occurred"):
            sys.exit("%s: %s" % (name, result.get("error_message")))
        counts[name] = "%d files" % result["files"]
    else:
        counts[name] = "%d entries" % (len(done.stdout.splitlines()) - 1)
    return elapsed

for name in names:  # warm-up: page cache and the server's first listings
    run(name)
for r in range(rounds):
    order = names[r % len(names):] + names[:r % len(names)]
    for name in order:
        times[name].append(run(name))

peer = statistics.median(times["lftp find -l /"])
print("| run | median s | min s | max s | listed | vs lftp |")
print("|---|---|---|---|---|---|")
for name in names:
    median = statistics.median(times[name])
    print("| %s | %.3f | %.3f | %.3f | %s | %.2f |" % (name, median, min(times[name]), max(times[name]),
                                                     counts[name], median / peer))
EOF
