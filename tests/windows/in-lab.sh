#!/usr/bin/env bash
# Runs a command with a fresh Wine prefix of its own, started in the current network
# namespace and removed afterwards: in-lab.sh COMMAND [ARGS...]. Meant to run inside a
# namespace the test made (unshare --net, or tests/lab/lab.sh); wine.sh refuses the
# machine's own. Wine's server is started first, detached, so that a test runner waiting
# for its children's output is not held open by it.
set -euo pipefail
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/lanscout-wine.XXXXXX")
export WINEDEBUG=${WINEDEBUG:--all}
# Without its menu builder, Wine makes no entries in the machine user's own desktop menus
# for the shortcuts a setup program creates in the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
cleanup() {
  /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$(dirname "$0")/wine.sh" cmd /c exit </dev/null >/dev/null 2>&1
"$@"
