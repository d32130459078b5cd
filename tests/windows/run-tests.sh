#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: run-tests.sh BUILD [CTEST ARGS...]
# The run gets a network namespace of its own, with nothing but loopback, and a fresh
# Wine prefix whose server starts there: a test under Wine cannot reach the machine's
# network. Tests that meet cameras make their own lab inside it.
set -euo pipefail
build=${1:?usage: run-tests.sh BUILD [CTEST ARGS...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
if [[ ${LANSCOUT_WINE_TESTS_INSIDE:-} != 1 ]]; then
  LANSCOUT_WINE_TESTS_INSIDE=1 exec unshare --net -- "$0" "$build" "$@"
fi
unset LANSCOUT_WINE_TESTS_INSIDE
ip link set lo up
cd "$build"
exec "$here/in-lab.sh" ctest --output-on-failure --timeout 600 "$@"
