#!/usr/bin/env bash
# fuzz/run.sh <target> [seconds]: builds one fuzz target with clang and libFuzzer
# under AddressSanitizer and UndefinedBehaviorSanitizer, and fuzzes it from its
# corpus (default 60 s). New interesting inputs go to a scratch corpus under
# build/, never into the checked-in seeds; crashes, leaks and timeouts land in
# fuzz/crashes/<target>/. FUZZ_RUNS stops after that many executions.
# Targets: ht bmp xml_events xml_dom gpx kml xpath charfilter.
#
# The targets run on a 1 MiB stack: recursion that grows with the input then
# overflows within the inputs the fuzzer makes, and is reported as the crash it
# is, not hidden by the 8 MiB a shell gives.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: fuzz/run.sh <target> [seconds]}"
seconds="${2:-60}"
[ -f "fuzz/targets/$target.cpp" ] || { echo "no fuzz target '$target'" >&2; exit 2; }

source scripts/ensure-packages.sh
ensure_packages "${SHOALWRIGHT_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DSHOALWRIGHT_SANITIZE=ON -DSHOALWRIGHT_FUZZ=ON -DSHOALWRIGHT_TESTS=OFF -DSHOALWRIGHT_APP=OFF >/dev/null
cmake --build "$build" -j4 --target "fuzz_$target"

work="$build/corpus/$target"
crashes="fuzz/crashes/$target"
mkdir -p "$work" "$crashes"
dict=()
case "$target" in xml_events|xml_dom|gpx|kml) dict=(-dict=fuzz/xml.dict) ;; esac
# The XML targets take inputs up to their 64 KiB budget, long enough for deep
# nesting and long chains of declarations; their length grows faster than by
# default.
length=()
case "$target" in xml_events|xml_dom|gpx|kml|xpath) length=(-max_len=65536 -len_control=20) ;; esac

# 1 s an input and 2 GB in all are the bounds every reader must keep. On a busy
# machine the sanitizer allocator's own pauses (returning memory to the system)
# can pass 1 s on a harmless input: FUZZ_TIMEOUT raises the bound there, and the
# allocator keeps its memory instead.
export ASAN_OPTIONS="${ASAN_OPTIONS:-allocator_release_to_os_interval_ms=-1}"
# The stack: FUZZ_STACK_KB, 1 MiB by default, for the main thread and as the
# default size of any thread a target starts. Frames stay on it (no fake stack
# for use-after-return checks), and an overflow is reported from an alternate
# signal stack as a crash with its trace.
ASAN_OPTIONS="$ASAN_OPTIONS:detect_stack_use_after_return=0:use_sigaltstack=1"
ulimit -s "${FUZZ_STACK_KB:-1024}"
"$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" "${dict[@]}" "${length[@]}" \
  -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-1}" -rss_limit_mb=2048 -malloc_limit_mb=2048 \
  -artifact_prefix="$crashes/" -print_final_stats=1 -runs="${FUZZ_RUNS:--1}"
