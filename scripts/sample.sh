#!/usr/bin/env bash
# Installs what is missing, builds the release, and runs the main job on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
out=build/sample && mkdir -p "$out"
# The workbench on the sample: paths typed, Refresh pressed, the window photographed. Its
# settings live in build/sample/home, never in the user's home.
demo=(build/release/bin/sample_demo "$out/home" resources/sample_procmon.csv resources/sample_capture.txt "$out/workbench.png")
if [[ -n "${DISPLAY:-}" ]]; then "${demo[@]}"; else xvfb-run -a -s "-screen 0 1280x800x24" "${demo[@]}"; fi
echo "Workbench screenshot: $(pwd)/$out/workbench.png"
