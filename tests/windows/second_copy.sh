#!/usr/bin/env bash
# A second copy on Windows: while lanscout.exe holds the reply port, lanscout-cli.exe
# refuses to search and says why (Winsock's exclusive bind, as the port's only owner).
#   second_copy.sh WINE LANSCOUT.EXE LANSCOUT-CLI.EXE
# Runs inside a lab, on an X display and with a Wine prefix of its own.
set -euo pipefail
wine=$1 window=$2 cli=$3

reply_port_taken() { [[ -n $(ss -Hlun 'sport = :40014') ]]; }

QT_QPA_PLATFORM=windows "$wine" "$window" &
app=$!
trap 'kill $app 2>/dev/null; wait $app 2>/dev/null || true' EXIT
for _ in $(seq 300); do
  reply_port_taken && break
  kill -0 "$app" 2>/dev/null || { echo "second_copy: the window ended before it bound port 40014" >&2; exit 1; }
  sleep 0.1
done
reply_port_taken || { echo "second_copy: the window did not bind port 40014 within 30 s" >&2; exit 1; }

status=0
err=$("$wine" "$cli" search 2>&1 >/dev/null) || status=$?
if [[ $status -ne 69 || $err != *"another copy is running"* ]]; then
  echo "second_copy: lanscout-cli.exe beside the window ended with $status: $err" >&2
  exit 1
fi
