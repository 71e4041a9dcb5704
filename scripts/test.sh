#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   scripts/test.sh [preset]     (default: debug; also release, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"
bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
