#!/usr/bin/env bash
# bench/run.sh <name> [arguments...]: builds bench/<name>_bench.cpp optimised and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${SHOALWRIGHT_BUILD_PACKAGES[@]}" "${SHOALWRIGHT_BENCH_PACKAGES[@]}"
if [ $# -lt 1 ]; then
  echo "usage: bench/run.sh <name> [arguments...]; names:" >&2
  ls bench/*_bench.cpp 2>/dev/null | sed 's#bench/\(.*\)_bench.cpp#  \1#' >&2
  exit 2
fi
name="$1"
shift
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHOALWRIGHT_BENCH=ON \
  -DSHOALWRIGHT_TESTS=OFF -DSHOALWRIGHT_APP=OFF >/dev/null
cmake --build "$build" --target "${name}_bench"
"$build/bench/${name}_bench" "$@"
