#!/usr/bin/env bash
# Runs a command inside a throw-away test lab: a network namespace for the tool, one
# for the cameras, joined by a veth pair. Nothing reaches the machine's real network,
# and nothing is left behind when the command ends.
#
#   tests/lab/lab.sh [--camsim "CAMSIM ARGS"] -- COMMAND [ARGS...]
#
# The command sees:
#   LANSCOUT_LAB=1
#   LANSCOUT_LAB_TOOL_IP           the tool side's address (10.77.0.1/22, interface veth-t)
#   LANSCOUT_LAB_FIRST_CAMERA_IP   where generated cameras may start (10.77.0.10)
#   LANSCOUT_LAB_CAMERA_NETNS      the camera namespace, for nsenter --net=
#   LANSCOUT_LAB_CAMERA_IF         the camera side's interface (veth-c)
# With --camsim, camsim (path in $CAMSIM) runs in the camera namespace for the whole
# command, logging to $LANSCOUT_LAB_CAMSIM_LOG.
# Works as root, and as a normal user where user namespaces are allowed. Fails, never
# skips, when the lab cannot be made.
set -euo pipefail

fail() { echo "lab: $*" >&2; exit 97; }

if [[ ${LANSCOUT_LAB_INSIDE:-} != 1 ]]; then
  command -v unshare >/dev/null || fail "unshare (util-linux) is missing"
  command -v ip >/dev/null || fail "ip (iproute2) is missing"
  if [[ $(id -u) -eq 0 ]]; then
    ns=(unshare --net)
  else
    ns=(unshare --user --map-root-user --net)
  fi
  LANSCOUT_LAB_INSIDE=1 "${ns[@]}" -- "$0" "$@" && exit 0 || rc=$?
  [[ $rc -eq 97 ]] && fail "the lab could not be made"
  exit "$rc"
fi

camsim_args=""
while [[ $# -gt 0 ]]; do
  case $1 in
    --camsim) camsim_args=$2; shift 2 ;;
    --) shift; break ;;
    *) fail "unknown option $1 (usage: lab.sh [--camsim ARGS] -- COMMAND)" ;;
  esac
done
[[ $# -gt 0 ]] || fail "no command given"

tool_ip=10.77.0.1
camera_side_ip=10.77.0.2
prefix=22

holder=""
camsim_pid=""
cleanup() {
  [[ -n $camsim_pid ]] && kill "$camsim_pid" 2>/dev/null && wait "$camsim_pid" 2>/dev/null
  [[ -n $holder ]] && kill "$holder" 2>/dev/null
  [[ -n ${camsim_log:-} ]] && rm -f "$camsim_log"
  true
}
trap cleanup EXIT

ip link set lo up || fail "cannot bring lo up in the tool namespace"
unshare --net -- sleep infinity &
holder=$!
own_ns=$(readlink /proc/self/ns/net)
for _ in $(seq 200); do
  ns=$(readlink "/proc/$holder/ns/net" 2>/dev/null || true)
  [[ -n $ns && $ns != "$own_ns" ]] && break
  sleep 0.01
done
[[ $(readlink "/proc/$holder/ns/net") != "$own_ns" ]] || fail "the camera namespace did not come up"
camera_ns=/proc/$holder/ns/net

ip link add veth-t type veth peer name veth-c netns "$holder" || fail "cannot make the veth pair"
ip address add "$tool_ip/$prefix" dev veth-t
ip link set veth-t up
nsenter --net="$camera_ns" -- sh -c "ip link set lo up && ip address add $camera_side_ip/$prefix dev veth-c && ip link set veth-c up" \
  || fail "cannot set up the camera side"

export LANSCOUT_LAB=1
export LANSCOUT_LAB_TOOL_IP=$tool_ip
export LANSCOUT_LAB_FIRST_CAMERA_IP=10.77.0.10
export LANSCOUT_LAB_CAMERA_NETNS=$camera_ns
export LANSCOUT_LAB_CAMERA_IF=veth-c

if [[ -n $camsim_args ]]; then
  [[ -x ${CAMSIM:-} ]] || fail "set CAMSIM to the camsim program to use --camsim"
  camsim_log=$(mktemp /tmp/camsim-log.XXXXXX)
  export LANSCOUT_LAB_CAMSIM_LOG=$camsim_log
  # shellcheck disable=SC2086 # the arguments are meant to split
  nsenter --net="$camera_ns" -- "$CAMSIM" --interface veth-c --prefix "$prefix" --log "$camsim_log" $camsim_args &
  camsim_pid=$!
  for _ in $(seq 300); do
    grep -q ' ready ' "$camsim_log" 2>/dev/null && break
    kill -0 "$camsim_pid" 2>/dev/null || fail "camsim ended: $(cat "$camsim_log")"
    sleep 0.02
  done
  grep -q ' ready ' "$camsim_log" || fail "camsim did not get ready"
fi

"$@"
