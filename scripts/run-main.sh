#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs the main job: the example
# schedule, unattended, on the default catalogue of the installation folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/ccache-env.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target korvane korvane-scheduler
home="${KORVANE_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/korvane}"
mkdir -p "$home"
# The example schedule's queries are looked up in the installation folder.
cp examples/*.qry "$home/"
status=0
./build/korvane /EXECUTE "$PWD/examples/nightly.sch" || status=$?
echo "Korvane finished with status $status; the events of the run:"
tail -n 20 "$home/Event.log" 2>/dev/null || true
echo "Its outputs in $home:"
ls -l "$home"/big-docs.csv "$home"/big-docs.pdf "$home"/"Recent Docs.log" 2>/dev/null || true
exit $status
