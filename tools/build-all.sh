#!/usr/bin/env bash
# Configures and builds the given presets (default: host win32 win64).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(host win32 win64)
for preset in "${presets[@]}"; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
