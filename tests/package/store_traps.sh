#!/usr/bin/env bash
# What other local accounts can do to the installed hand-over store, tried with real
# accounts: for each trap they can plant, the writer refuses it and names it, nothing is
# written through it, and the installed window still starts and searches within a second
# (inside a lab with one simulated camera), its debug output giving the reason.
# Run by check_package.sh as root, after a member of the group has made the hand-over key.
# Usage: store_traps.sh BUILD_FOLDER WORK_FOLDER MEMBER OTHER_MEMBER OUTSIDER
set -euo pipefail
build=$1 work=$2 member=$3 other_member=$4 outsider=$5
here=$(dirname "$(realpath "$0")")
store=/var/lib/lanscout/registry
vms="$store/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR"
key="$vms/PELMTempSettings"
victim=$work/victim # a folder of another account that a link would lead into

fail() { echo "store_traps: $*" >&2; exit 1; }
as() { local user=$1; shift; setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"; }
write_as() { as "$1" env -u LANSCOUT_REGISTRY_ROOT "$work/store_writer" "${@:2}"; }

# The installed window as USER, in a lab: fails unless its first search reached the camera
# within a second of its start. Its debug output goes to OUTPUT.
window_searches_as() { # user output
  LANSCOUT_REGISTRY_ROOT=$store CAMSIM=$build/tools/camsim/camsim \
    "$here/../lab/lab.sh" --camsim "--cameras 1 --first-ip 10.77.0.10" -- \
    bash -c 'user=$1 output=$2
      started=$(date +%s%N)
      setpriv --reuid="$user" --regid="$user" --init-groups -- \
        env QT_QPA_PLATFORM=offscreen /usr/bin/lanscout 2>"$output" &
      window=$!
      until grep -q "recv search" "$LANSCOUT_LAB_CAMSIM_LOG"; do
        if (( $(date +%s%N) - started > 1000000000 )); then kill -9 $window; exit 1; fi
        sleep 0.01
      done
      echo "searched after $(( ($(date +%s%N) - started) / 1000000 )) ms"
      kill $window; wait $window || true' -- "$1" "$2"
}

plant_fresh_key() { rm -rf "$key"; write_as "$member" IPCameraAddress 10.0.0.1 || fail "the key could not be made again"; }
holder=""
release_lock() { [[ -z $holder ]] || { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true; holder=""; }; }
trap release_lock EXIT

# name | who plants it | how | the writer's words for it
traps=(
  "key folder linked to another account's folder|$other_member|rm -rf \"\$key\" && ln -s \"\$victim\" \"\$key\"|is a symbolic link"
  "values.reg linked to another account's file|$outsider|rm -f \"\$key/values.reg\" && ln -s \"\$victim/values.reg\" \"\$key/values.reg\"|is a symbolic link"
  "values.reg linked to /dev/zero|$outsider|rm -f \"\$key/values.reg\" && ln -s /dev/zero \"\$key/values.reg\"|is a symbolic link"
  "values.reg as a FIFO|$outsider|rm -f \"\$key/values.reg\" && mkfifo \"\$key/values.reg\"|is a FIFO, not a file"
  "values.reg of 2 MiB|$outsider|rm -f \"\$key/values.reg\" && truncate -s 2M \"\$key/values.reg\"|is larger than 1 MiB"
  "the key's lock held|$outsider|LOCK|stayed locked by another program"
)

mkdir -p "$victim" && chmod 777 "$victim" && echo "the victim's own values" > "$victim/values.reg" && chmod 666 "$victim/values.reg"
for entry in "${traps[@]}"; do
  IFS='|' read -r name planter how words <<<"$entry"
  echo "== trap: $name, planted by $planter"
  plant_fresh_key
  if [[ $how == LOCK ]]; then
    # One process that holds the lock and dies with it: no child outlives the kill.
    as "$planter" env key="$key" bash -c 'exec 9<"$key" && flock 9 && exec sleep 60' &
    holder=$!
    for _ in $(seq 100); do ! flock -n "$key" true && break; sleep 0.02; done
  else
    as "$planter" env key="$key" victim="$victim" bash -c "$how" || fail "$planter could not plant the trap"
  fi
  for user in "$member" "$outsider"; do
    window_searches_as "$user" "$work/window.err" || fail "$name: the window as $user did not search within a second"
    grep -q "The hand-over flag was not cleared: .*$words" "$work/window.err" ||
      fail "$name: the window as $user did not say why it could not clear the flag: $(cat "$work/window.err")"
  done
  if write_as "$member" IPCameraPassword secret 2>"$work/writer.err"; then
    fail "$name: the writer reported success"
  fi
  grep -q "$words" "$work/writer.err" || fail "$name: the writer said: $(cat "$work/writer.err")"
  echo "writer: $(cat "$work/writer.err")"
  [[ $(cat "$victim/values.reg") == "the victim's own values" && $(ls -A "$victim") == values.reg ]] ||
    fail "$name: something was written through the trap"
  release_lock
done
plant_fresh_key # as it was: the key with a value
