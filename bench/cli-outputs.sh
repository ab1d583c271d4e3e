#!/usr/bin/env bash
# Runs corvantis-cli lines and words on a pair of files with each way of
# printing the result and prints the wall time and peak memory of each, next
# to the two files' bytes: --json and the listing are written as they are
# made, so they should cost little more than --stat.
#
# Usage: bench/cli-outputs.sh [CLI] [FILE1 FILE2]
#   CLI: the corvantis-cli to run (default build/bin/corvantis-cli)
#   FILE1/2: the pair (default bench/data/file1.csv and file2.csv, made by
#   build/bench/bench_make_data when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/bin/corvantis-cli}
a=${2:-bench/data/file1.csv}
b=${3:-bench/data/file2.csv}
if [ ! -s "$a" ] || [ ! -s "$b" ]; then
  build/bench/bench_make_data "$(dirname "$a")" > /dev/null
fi

echo "corvantis-cli on $(( ($(stat -c %s "$a") + $(stat -c %s "$b")) / 1048576 )) MiB of files (wall time, peak memory):"
for mode in lines words; do
  for output in --stat --json "" "--result 1"; do
    figures=$(mktemp)
    # shellcheck disable=SC2086 # the output option is one word or none
    /usr/bin/time -o "$figures" -f "%e %M" "$cli" "$mode" "$a" "$b" $output > /dev/null 2>&1 || true
    read -r seconds kib < <(tail -1 "$figures")
    rm -f "$figures"
    printf '%-22s %8.2f s %8d MiB\n' "$mode ${output:-(listing)}" "$seconds" $(( kib / 1024 ))
  done
done
