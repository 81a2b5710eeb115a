#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs every test: once in a
# normal build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
shopt -s inherit_errexit 2>/dev/null || true
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Every file the configure reads must come from the packages just installed.
python3 scripts/check-deps.py -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON
source scripts/ccache-env.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
results=$(mktemp)
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600) | tee -a "$results"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_WERROR=ON \
  -DKORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" --timeout 900) | tee -a "$results"

if [ -f fuzz/run.sh ]; then
  bash fuzz/run.sh "${KORVANE_FUZZ_SECONDS:-20}"
fi

# Both builds' totals on one line.
awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $4 }
     END { printf "%d passed, %d failed\n", total - failed, failed }' "$results"
rm -f "$results"
