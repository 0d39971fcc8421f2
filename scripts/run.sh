#!/usr/bin/env bash
# Builds Periodix (optimised) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target periodix
exec build/release/src/app/periodix "$@"
