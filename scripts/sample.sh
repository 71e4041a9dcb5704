#!/usr/bin/env bash
# Installs what is missing, builds the release, and runs the main job on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
build/release/bench/readlines_bench --help
