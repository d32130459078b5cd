#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: wine.sh PROGRAM.exe [ARGS...]
#
# Wine makes every socket inside its server process, so a program reaches the network of
# the namespace its prefix's server was started in, not its own. To keep every packet off
# the machine's real network, this refuses to run in the machine's own network namespace,
# and a prefix belongs to the namespace it was first used in: a prefix used from another
# namespace is refused rather than handed a server with another network.
set -euo pipefail
: "${WINEPREFIX:?wine.sh: set WINEPREFIX to a prefix of this namespace (tests/windows/in-lab.sh makes one)}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
here=$(readlink /proc/self/ns/net)
if [[ $here == "$(readlink /proc/1/ns/net)" ]]; then
  echo "wine.sh: refusing to run Wine in the machine's own network namespace" >&2
  exit 125
fi
mkdir -p "$WINEPREFIX"
owner=$WINEPREFIX/.lanscout-netns
[[ -e $owner ]] || echo "$here" >"$owner"
if [[ $(<"$owner") != "$here" ]]; then
  echo "wine.sh: $WINEPREFIX belongs to network namespace $(<"$owner"), not $here" >&2
  exit 125
fi
exec /usr/lib/wine/wine64 "$@"
