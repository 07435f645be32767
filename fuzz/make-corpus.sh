#!/usr/bin/env bash
# Rewrites the seed corpora under fuzz/corpus/ from the program's own writers.
# Run it after a writer changes, and check the files in.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/test
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DSHOALWRIGHT_TESTS=ON >/dev/null
cmake --build "$build" -j4 --target fuzz_MakeCorpus
rm -rf fuzz/corpus
"$build/fuzz/fuzz_MakeCorpus" fuzz/corpus
