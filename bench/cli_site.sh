#!/usr/bin/env bash
# lanscout-cli on a whole simulated site, inside a lab of its own: one search of COUNT
# cameras (as JSON), then a plan that gives every camera a new static address, applied
# and verified. Prints the seconds of each and how many cameras the report verified.
#   bench/cli_site.sh [BUILD] [COUNT] [CONCURRENCY]     (build, 200, 8)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
count=${2:-200}
concurrency=${3:-8}
if [[ ${LANSCOUT_LAB:-} != 1 ]]; then
  export CAMSIM=$build/tools/camsim/camsim
  exec tests/lab/lab.sh --camsim "--cameras $count --first-ip 10.77.0.10" -- "$0" "$build" "$count" "$concurrency"
fi
cli=$build/cli/lanscout-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LANSCOUT_PASSWORD=vqxnt # the simulated cameras' factory login

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'; }

start=$(now)
"$cli" search --format json >"$work/cameras.json"
search_seconds=$(elapsed "$start" "$(now)")
listed=$(grep -c '"mac"' "$work/cameras.json" || true)

# The plan: the cameras in the order they answered, to 10.77.1.1, 10.77.1.2, ...
"$cli" search --format csv >"$work/cameras.csv"
awk -F, 'NR == 1 { print "mac,ip,mode"; next }
         { n = NR - 2; printf "%s,10.77.%d.%d,static\n", $1, 1 + int(n / 250), 1 + n % 250 }' \
  "$work/cameras.csv" >"$work/plan.csv"

start=$(now)
status=0
"$cli" apply "$work/plan.csv" --user admin --concurrency "$concurrency" --format json >"$work/report.json" || status=$?
apply_seconds=$(elapsed "$start" "$(now)")
verified=$(grep -o '"outcome": "verified"' "$work/report.json" | wc -l)

printf 'one search: %.1f s, %d of %d cameras listed\n' "$search_seconds" "$listed" "$count"
printf 'plan of %d cameras, concurrency %d: %.1f s, %d verified, exit status %d\n' \
  "$((count))" "$concurrency" "$apply_seconds" "$verified" "$status"
