#!/usr/bin/env bash
# The test and benchmark programs that broadcast refuse to run outside a lab:
# lab_only.sh PROGRAM... Each is started in a network namespace of its own that lab.sh did
# not make (so that a program that does not refuse still sends nowhere), once without the
# lab's mark and once with another namespace's, and must end at once with its message.
set -euo pipefail
(($# > 0)) || { echo "usage: lab_only.sh PROGRAM..." >&2; exit 2; }
ns=(unshare --net)
[[ $(id -u) -eq 0 ]] || ns=(unshare --user --map-root-user --net)
failed=0
for program in "$@"; do
  for mark in none elsewhere; do
    if [[ $mark == none ]]; then
      run=(env -u LANSCOUT_LAB_NETNS -u LANSCOUT_LAB "$program")
    else
      run=(env LANSCOUT_LAB=1 "LANSCOUT_LAB_NETNS=$(readlink /proc/self/ns/net)" "$program")
    fi
    status=0
    said=$(timeout 20 "${ns[@]}" -- "${run[@]}" 2>&1 >/dev/null) || status=$?
    if [[ $status -ne 2 || $said != *"tests/lab/lab.sh"* ]]; then
      echo "lab_only.sh: $(basename "$program") with the mark $mark ran (status $status): ${said:0:200}" >&2
      failed=1
    fi
  done
done
((failed == 0)) && echo "lab_only.sh: all $# programs refused to run outside a lab"
exit "$failed"
