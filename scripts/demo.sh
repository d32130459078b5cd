#!/usr/bin/env bash
# Opens Lanscout inside a throw-away lab with 56 simulated cameras (scripts/demo-cameras.ini).
# With a display the window opens there; without one it runs under Xvfb and saves a
# screenshot instead. A hand-over to the VMS goes to a hive under the build folder, and
# what was handed over is printed when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

if [[ -z ${DISPLAY:-} ]]; then
  echo "No display: running under Xvfb. Screenshot after the first search:"
  exec scripts/screenshot.sh "$build" "$build/screenshots/demo.png"
fi
export CAMSIM="$build/tools/camsim/camsim"
export LANSCOUT_REGISTRY_ROOT="$build/demo-hive"
mkdir -p "$LANSCOUT_REGISTRY_ROOT"
echo "Cameras on the factory login take admin / vqxnt; the others admin / Demo-pass-1."
tests/lab/lab.sh --camsim "--config $PWD/scripts/demo-cameras.ini" -- "$build/app/lanscout" || true
values="$LANSCOUT_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings/values.reg"
if grep -q '"IPCameraNeedSaveToHalvex"=dword:00000001' "$values" 2>/dev/null; then
  echo "Handed over to HALVEX ($values):"
  cat "$values"
else
  echo "No camera was handed over to HALVEX."
fi
