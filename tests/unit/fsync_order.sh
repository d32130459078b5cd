#!/usr/bin/env bash
# A write to the store, seen from outside under strace: the new values file's data is
# synced before it is renamed over values.reg, and the key's folder after the rename,
# so neither a crash nor a power cut leaves a torn or a lost hand-over.
# Usage: fsync_order.sh STORE_WRITER
set -euo pipefail
writer=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key="$work/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings"

# LeakSanitizer cannot run under ptrace: a sanitized writer is traced without it.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
for write in first second; do # the second replaces a values file that is there
  LANSCOUT_REGISTRY_ROOT=$work/registry strace -f -y -o "$work/trace" \
    -e trace=fsync,fdatasync,rename,renameat,renameat2 "$writer" "Value-$write" text
  awk -v key="$key" -v write="$write" '
    function fail(why) { print "fsync_order: " write " write: " why; shown = 1; exit 1 }
    # The path strace shows for a descriptor: fsync(3</path>) -> /path
    function synced(line) { sub(/^[^<]*</, "", line); sub(/>\).*$/, "", line); return line }
    / (fsync|fdatasync)\(/ && / = 0$/ {
      path = synced($0)
      if (index(path, key "/.values.reg.") == 1) { data[path] = NR; next }
      if (path == key && renamed) { folder = NR; next }
    }
    / rename(at2?)?\(/ && /"values\.reg"/ && / = 0$/ {
      if (!match($0, /"\.values\.reg\.[^"]*"/)) fail("renamed something else over values.reg: " $0)
      temp = key "/" substr($0, RSTART + 1, RLENGTH - 2)
      if (!(temp in data)) fail("renamed " temp " over values.reg before syncing its data")
      renamed = NR
    }
    END {
      if (shown) exit 1
      if (!renamed) fail("no rename over values.reg")
      if (!folder) fail("the key folder was not synced after the rename")
      print "fsync_order: " write " write: data synced, renamed, folder synced"
    }' "$work/trace"
done
