#!/usr/bin/env bash
# Installs what is missing, builds the release, and runs the main job on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
out=build/sample && mkdir -p "$out" && build/release/bin/evtweave resources/sample_procmon.csv "$out/sample.dot" lumivex resources/sample_capture.txt && dot -Tpng "$out/sample.dot" -o "$out/sample.png" && echo "Graph picture: $(pwd)/$out/sample.png"
