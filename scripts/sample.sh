#!/usr/bin/env bash
# Installs what is missing, builds the release, and runs the main job on the bundled sample.
# On a desktop it opens the workbench on a session of the sample: press F5 (Refresh) to see
# the graph. Without a display it photographs the workbench on the sample instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
out=build/sample && mkdir -p "$out"
here=$(pwd)
log=$here/resources/sample_procmon.csv
capture=$here/resources/sample_capture.txt
# The sample is a log as the monitor exports it; its launcher is the sample's own start, chosen
# as an analyst chooses it: the byte where that record begins, its PID and its name.
start='"invoice_0419.exe","3120","Process Start"'
launcher="$(grep -b -m1 -F "$start" "$log" | cut -d: -f1)|3120|invoice_0419.exe"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  # A settings folder of its own in build/sample/home, never the user's home: the tools named,
  # no update questions at start.
  home=$here/$out/home
  mkdir -p "$home/.lumivex"
  tool() { command -v "$1" || ls /usr/sbin/"$1" 2>/dev/null || true; }
  if [[ ! -f "$home/.lumivex/.lumivex" ]]; then
    printf 'lastrunbuild = 55\r\nauto_update_check = 0\r\nupdate_check_betas = 0\r\ndotexecutable = %s\r\nwindumpexecutable = %s\r\n' \
      "$(tool dot)" "$(tool tcpdump)" >"$home/.lumivex/.lumivex"
  fi
  touch "$home/.lumivex/default.lv"
  session=$here/$out/sample.lv
  {
    echo "procmonfile = $log"
    echo "windumpfile = $capture"
    echo "launcher = $launcher"
    for key in modenopaths modecompressed modedumb forceascii; do echo "$key = 0"; done
    for key in registry registry_nonautostart registry_get registry_set files \
      files_bulkcategories; do echo "renderoption_$key = 1"; done
    echo "renderoption_files_readonly = 0"
    for key in read write create delete basedon loads; do echo "renderoption_files_$key = 1"; done
  } >"$session"
  echo "Opening the workbench on $session: press F5 to draw the sample's graph."
  exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" build/release/bin/lumivex "$session"
fi

# The workbench on the sample: paths typed, the launcher chosen, Refresh pressed, the window
# photographed. Its settings live in build/sample/home, never in the user's home.
demo=(build/release/bin/sample_demo "$out/home" "$log" "$capture" "$out/workbench.png"
  --launcher "$launcher")
xvfb-run -a -s "-screen 0 1280x800x24" "${demo[@]}"
echo "Workbench screenshot: $here/$out/workbench.png"
