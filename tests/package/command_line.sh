#!/usr/bin/env bash
# lanscout's options answer and end without a window: no display is given, so a run
# that tried to open the window would fail rather than pass.
# Usage: command_line.sh PROGRAM VERSION_STAMP
set -u
program=$1
IFS=. read -r major minor build <<<"$2"
printf -v version 'Lanscout %d.%02d.%04d' "$major" "$((10#$minor))" "$((10#$build))"
failures=0

# args # exit status # standard output (extended regex, whole output) # standard error
cases=(
  "--version#0#$version#"
  "--help#0#Usage: lanscout \\[--help \\| --version\\].*--version .*#"
  "-h#0#Usage: lanscout .*#"
  "--bogus#2##lanscout: unexpected argument '--bogus' Usage: lanscout .*"
  "--version --help#2##lanscout: unexpected argument '--help' Usage: .*"
  "camera.txt#2##lanscout: unexpected argument 'camera.txt' Usage: .*"
)

for row in "${cases[@]}"; do
  IFS='#' read -r args want_status want_out want_err <<<"$row"
  out=$(mktemp) err=$(mktemp)
  # shellcheck disable=SC2086 # the arguments are split on purpose
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" $args >"$out" 2>"$err"
  status=$?
  got_out=$(tr '\n' ' ' <"$out" | sed 's/ $//')
  got_err=$(tr '\n' ' ' <"$err" | sed 's/ $//')
  if [[ $status != "$want_status" ]] || ! [[ $got_out =~ ^${want_out}$ ]] || ! [[ $got_err =~ ^${want_err}$ ]]; then
    echo "FAIL lanscout $args: status $status (want $want_status)"
    echo "  stdout: $got_out"
    echo "  stderr: $got_err"
    failures=$((failures + 1))
  fi
  rm -f "$out" "$err"
done
echo "$((${#cases[@]} - failures)) of ${#cases[@]} command lines as expected"
[[ $failures -eq 0 ]]
