#!/usr/bin/env bash
# Runs Lanscout on the demo's 56 simulated cameras under Xvfb, inside a throw-away lab, waits for
# the first search to end, saves a screenshot of the screen and prints its path.
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
shot=${2:-$build/screenshots/main-window.png}
mkdir -p "$(dirname "$shot")"
export CAMSIM="$build/tools/camsim/camsim"

xvfb-run -a -s "-screen 0 1400x900x24" \
  tests/lab/lab.sh --camsim "--config $PWD/scripts/demo-cameras.ini" -- bash -c '
    "$1" & app=$!
    sleep 8   # the first search takes about five seconds
    import -window root "$2"
    kill $app; wait $app 2>/dev/null || true' _ "$build/app/lanscout" "$shot"
echo "$shot"
