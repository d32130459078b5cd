#!/usr/bin/env bash
# Runs a command inside a throw-away test lab: a network namespace for the tool, one
# for the cameras, joined by a veth pair. Nothing reaches the machine's real network,
# and nothing is left behind when the command ends.
#
#   tests/lab/lab.sh [--camsim "CAMSIM ARGS"] [--camsim-path PATH] -- COMMAND [ARGS...]
#   tests/lab/lab.sh -- bash          # a shell inside the lab
#
# The command runs in the tool namespace and sees:
#   LANSCOUT_LAB=1
#   LANSCOUT_LAB_NETNS             the tool namespace, as /proc/self/ns/net names it there
#   LANSCOUT_LAB_TOOL_IP           the tool side's address, 10.77.0.1/22 on veth-t
#   LANSCOUT_LAB_FIRST_CAMERA_IP   where cameras may start, 10.77.0.10 (room up to 10.77.3.254)
#   LANSCOUT_LAB_CAMERA_NETNS      the camera namespace, for `nsenter --net=`
#   LANSCOUT_LAB_CAMERA_IF         the camera side's interface, veth-c (10.77.0.2/22)
#   LANSCOUT_REGISTRY_ROOT         a hand-over hive of the lab's own (unless one is given),
#                                  so no test writes to the machine's
# With --camsim, camsim (PATH, or $CAMSIM) runs in the camera namespace with
# `--interface veth-c --prefix 22 --log $LANSCOUT_LAB_CAMSIM_LOG` and the given
# arguments, from before the command starts until it ends.
#
# Runs as root, or as any user where unprivileged user namespaces are allowed. Fails
# (exit 97, with the reason) rather than skips when the lab cannot be made; otherwise
# exits with the command's status. The kernel's neighbour table is shared by all
# namespaces and holds 1024 entries by default, which caps a lab at about 1000 cameras.
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
  why=$("${ns[@]}" -- true 2>&1) || fail "cannot make a network namespace with '${ns[*]}': $why"
  LANSCOUT_LAB_INSIDE=1 exec "${ns[@]}" -- "$0" "$@"
fi
unset LANSCOUT_LAB_INSIDE

usage="usage: lab.sh [--camsim ARGS] [--camsim-path PATH] -- COMMAND [ARGS...]"
camsim_args=""
camsim=${CAMSIM:-}
while [[ $# -gt 0 ]]; do
  case $1 in
    --camsim) [[ $# -ge 2 ]] || fail "$usage"; camsim_args=$2; shift 2 ;;
    --camsim-path) [[ $# -ge 2 ]] || fail "$usage"; camsim=$2; shift 2 ;;
    --) shift; break ;;
    *) fail "unknown option $1 ($usage)" ;;
  esac
done
[[ $# -gt 0 ]] || fail "no command given ($usage)"

tool_if=veth-t
camera_if=veth-c
tool_ip=10.77.0.1
camera_side_ip=10.77.0.2
first_camera_ip=10.77.0.10
prefix=22

holder=""
camsim_pid=""
camsim_log=""
lab_hive=""
# Runs on every exit; its own failures must not change the exit status.
cleanup() {
  set +e
  [[ -n $camsim_pid ]] && kill "$camsim_pid" 2>/dev/null && wait "$camsim_pid" 2>/dev/null
  [[ -n $holder ]] && kill "$holder" 2>/dev/null && wait "$holder" 2>/dev/null
  [[ -n $camsim_log ]] && rm -f "$camsim_log"
  [[ -n $lab_hive ]] && rm -rf "$lab_hive"
}
trap cleanup EXIT

# The helpers die with this script even when it is killed outright, so no process
# (and with it no namespace) outlives the lab.
in_camera_ns() { nsenter --net="/proc/$holder/ns/net" -- "$@"; }

ip link set lo up || fail "cannot bring lo up in the tool namespace"
setpriv --pdeathsig KILL -- unshare --net -- sleep infinity &
holder=$!
own_ns=$(readlink /proc/self/ns/net)
for _ in $(seq 200); do
  holder_ns=$(readlink "/proc/$holder/ns/net" 2>/dev/null || true)
  [[ -n $holder_ns && $holder_ns != "$own_ns" ]] && break
  sleep 0.01
done
[[ -n $holder_ns && $holder_ns != "$own_ns" ]] || fail "the camera namespace did not come up"

ip link add "$tool_if" type veth peer name "$camera_if" netns "$holder" || fail "cannot make the veth pair"
ip address add "$tool_ip/$prefix" dev "$tool_if" || fail "cannot address $tool_if"
ip link set "$tool_if" up || fail "cannot bring $tool_if up"
in_camera_ns ip link set lo up || fail "cannot bring lo up in the camera namespace"
in_camera_ns ip address add "$camera_side_ip/$prefix" dev "$camera_if" || fail "cannot address $camera_if"
in_camera_ns ip link set "$camera_if" up || fail "cannot bring $camera_if up"

export LANSCOUT_LAB=1
# The lab's own namespace: the test and benchmark programs that broadcast refuse to run
# anywhere else (LabGuard.cpp).
export LANSCOUT_LAB_NETNS=$own_ns
if [[ -z ${LANSCOUT_REGISTRY_ROOT:-} ]]; then
  lab_hive=$(mktemp -d /tmp/lanscout-lab-hive.XXXXXX)
  export LANSCOUT_REGISTRY_ROOT=$lab_hive
fi
export LANSCOUT_LAB_TOOL_IP=$tool_ip
export LANSCOUT_LAB_FIRST_CAMERA_IP=$first_camera_ip
export LANSCOUT_LAB_CAMERA_NETNS=/proc/$holder/ns/net
export LANSCOUT_LAB_CAMERA_IF=$camera_if

if [[ -n $camsim_args ]]; then
  [[ -x $camsim ]] || fail "--camsim needs the camsim program: give --camsim-path or set CAMSIM"
  camsim_log=$(mktemp /tmp/lanscout-lab-camsim.XXXXXX)
  export LANSCOUT_LAB_CAMSIM_LOG=$camsim_log
  # shellcheck disable=SC2086 # the arguments are meant to split
  setpriv --pdeathsig TERM -- nsenter --net="$LANSCOUT_LAB_CAMERA_NETNS" -- \
    "$camsim" --interface "$camera_if" --prefix "$prefix" --log "$camsim_log" $camsim_args &
  camsim_pid=$!
  for _ in $(seq 500); do
    grep -q ' ready ' "$camsim_log" && break
    kill -0 "$camsim_pid" 2>/dev/null || fail "camsim ended before it was ready: $(cat "$camsim_log")"
    sleep 0.02
  done
  grep -q ' ready ' "$camsim_log" || fail "camsim was not ready within 10 s"
fi

"$@"
