#!/usr/bin/env bash
# Runs a window benchmark as a user sees the window: on a real X display (Xvfb, the
# xcb platform), with an accessibility client attached (an AT-SPI bus in a private
# D-Bus session, and a client listening for the window's events), inside a lab.
#   bench/shown.sh [--camsim ARGS] -- build/bench/PROGRAM [ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${LANSCOUT_SHOWN_INSIDE:-} != 1 ]]; then
  exec env LANSCOUT_SHOWN_INSIDE=1 xvfb-run -a -s "-screen 0 1400x900x24" dbus-run-session -- "$0" "$@"
fi
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
sleep 1
/usr/bin/python3 bench/a11y_listener.py &
client=$!
trap 'kill $client $bus 2>/dev/null || true' EXIT
sleep 1
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export CAMSIM=${CAMSIM:-$PWD/build/tools/camsim/camsim}
tests/lab/lab.sh "$@"
