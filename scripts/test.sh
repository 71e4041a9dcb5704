#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   scripts/test.sh [preset]     (default: release, the build users run; also debug, asan)
# The tests run as many at a time as the machine has cores (CTEST_PARALLEL_LEVEL overrides).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}"
