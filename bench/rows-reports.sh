#!/usr/bin/env bash
# Times each report of corvantis-cli rows on the 1M x 10 keyed pair (about
# 70,000 differences) and prints the wall time and peak memory of each, next
# to the comparison alone (-q, no report): the html and xlsx reports should
# add little time and no more than 100 MB to what the comparison itself
# takes. The peer for the workbook is LibreOffice's headless converter
# turning the csv report into an xlsx (installed into a scratch folder's
# profile; skipped when soffice is missing or with --no-peer).
#
# Usage: bench/rows-reports.sh [--no-peer] [CLI] [FILE1 FILE2]
#   CLI: the corvantis-cli to run (default build/bin/corvantis-cli)
#   FILE1/2: the pair (default bench/data/rows1.csv and rows2.csv, made by
#   build/bench/bench_make_rows_data when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
peer=1
if [ "${1:-}" = --no-peer ]; then peer=0; shift; fi
cli=${1:-build/bin/corvantis-cli}
a=${2:-bench/data/rows1.csv}
b=${3:-bench/data/rows2.csv}
if [ ! -s "$a" ] || [ ! -s "$b" ]; then
  build/bench/bench_make_rows_data "$(dirname "$a")" > /dev/null
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

measure() { # label, command...: prints "label  seconds  MiB  bytes-of-the-report"
  local label=$1; shift
  local figures=$scratch/figures
  /usr/bin/time -o "$figures" -f "%e %M" "$@" > /dev/null 2>&1 || true
  read -r seconds kib < <(tail -1 "$figures")
  local bytes=
  [ -f "$scratch/out" ] && bytes=$(stat -c %s "$scratch/out") && rm -f "$scratch/out"
  printf '%-34s %8.2f s %8d MiB %12s\n' "$label" "$seconds" $(( kib / 1024 )) "${bytes:+$bytes B}"
}

echo "corvantis-cli rows --key id on $(( ($(stat -c %s "$a") + $(stat -c %s "$b")) / 1048576 )) MiB of files (wall time, peak memory, report size):"
measure "comparison alone (-q)" "$cli" rows "$a" "$b" --key id -q
for format in text csv json html xlsx; do
  measure "--format $format --output" "$cli" rows "$a" "$b" --key id --format "$format" \
    --output "$scratch/out"
done

if [ "$peer" = 1 ] && command -v soffice > /dev/null; then
  "$cli" rows "$a" "$b" --key id --format csv --output "$scratch/report.csv" || true
  measure "peer: LibreOffice csv -> xlsx" soffice -env:UserInstallation=file://"$scratch"/profile \
    --headless --convert-to xlsx --outdir "$scratch" "$scratch/report.csv"
fi
