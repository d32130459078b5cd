#!/usr/bin/env bash
# Opens Lanscout inside a throw-away lab with 12 simulated cameras. With a display the
# window opens there; without one it runs under Xvfb, waits for the first search to
# end, saves a screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
lanscout="$build/app/lanscout"
export CAMSIM="$build/tools/camsim/camsim"
camsim_args="--cameras 12 --first-ip 10.77.0.10 --varied"

if [[ -n ${DISPLAY:-} ]]; then
  exec tests/lab/lab.sh --camsim "$camsim_args" -- "$lanscout"
fi

shots="$build/screenshots"
mkdir -p "$shots"
shot="$shots/demo.png"
# The first search takes about five seconds; give the window a little more.
xvfb-run -a -s "-screen 0 1400x900x24" \
  tests/lab/lab.sh --camsim "$camsim_args" -- bash -c '
    "$1" & app=$!
    sleep 8
    import -window root "$2"
    kill $app; wait $app 2>/dev/null || true' _ "$lanscout" "$shot"
echo "No display: the demo ran under Xvfb. Screenshot after the first search: $shot"
