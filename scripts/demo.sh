#!/usr/bin/env bash
# Opens Lanscout inside a throw-away lab with 12 simulated cameras. With a display the
# window opens there; without one it runs under Xvfb and saves a screenshot instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

if [[ -z ${DISPLAY:-} ]]; then
  echo "No display: running under Xvfb. Screenshot after the first search:"
  exec scripts/screenshot.sh "$build" "$build/screenshots/demo.png"
fi
export CAMSIM="$build/tools/camsim/camsim"
exec tests/lab/lab.sh --camsim "--cameras 12 --first-ip 10.77.0.10" -- "$build/app/lanscout"
