#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages "${SHOALWRIGHT_BUILD_PACKAGES[@]}"
ensure_locale de_DE.UTF-8

scripts/check-layers.sh

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DSHOALWRIGHT_SANITIZE=ON -DSHOALWRIGHT_TESTS=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# The vector kernels come out of -O3 differently than out of the -O1 above, so the
# tests that hold them to the reference run once more, optimised as the program
# ships; only what they need is built.
optimised=build/test-optimised
cmake -S . -B "$optimised" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHOALWRIGHT_TESTS=ON -DSHOALWRIGHT_APP=OFF
cmake --build "$optimised" --target gridding_ShepardGridInterpTest gridding_ShepardInterpDistanceTest
ctest --test-dir "$optimised" --output-on-failure -j "$(nproc)" -R '^(ShepardGridInterp|ShepardDistance)\.'
