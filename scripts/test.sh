#!/usr/bin/env bash
# Builds Periodix twice, optimised and with address and undefined-behaviour
# sanitizers, and runs the whole test suite on both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPERIODIX_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"
(cd build/asan && QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/../../tests/lsan.supp" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" -LE normal-build-only)

# The Period Script reader, the datagram and hall feed parsers, and periodix-web's request
# head and frame readers under libFuzzer for a bounded time, from the committed corpus;
# what they find new stays in a scratch folder.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPERIODIX_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs"
for target in period_script_reader datagram_parser hall_feed http_request websocket_frames; do
  scratch=$(mktemp -d)
  build/fuzz/tests/fuzz/${target}_fuzz -max_total_time="${FUZZ_SECONDS:-30}" -print_final_stats=1 \
    "$scratch" "tests/fuzz/corpus/$target" 2>&1 | tail -n 3
  rm -rf "$scratch"
done
