#!/usr/bin/env bash
# Builds the package walk benchmark in a Release tree of its own (build/bench, no
# sanitizers) and runs it; extra arguments go to the benchmark, for example
#   bench/run.sh --benchmark_filter=BM_Walk
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$here/build/bench"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target package_walk_benchmark
exec "$build/package_walk_benchmark" "$@"
