#!/usr/bin/env bash
# Compares the keyed 1M x 10 pair saved as workbooks, and a 100k pair against
# LibreOffice's headless converter, printing wall time and peak memory.
# CPU time is printed beside the wall time, and the load average after each
# run: on a shared machine they tell how much the other processes weighed.
#   1. rows --key id on the 1M pair as .xlsx, as .ods, and as CSV (the
#      memory limit is twice the CSV pair's bytes plus 100 MB);
#   2. on a 100k pair: LibreOffice converting both workbooks to CSV, then
#      rows --key id on the CSVs, against rows --key id on the workbooks.
# The pairs are made once in FOLDER (default bench/data/workbooks) by
# bench_make_rows_data and bench_make_workbooks. LibreOffice is the peer, not
# a dependency: it is used when soffice is on the PATH (Debian's
# libreoffice-calc-nogui), with a profile in a scratch folder.
#
# Usage: bench/workbooks.sh [BUILD] [FOLDER]   (BUILD default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dir=${2:-bench/data/workbooks}
cli=$build/bin/corvantis-cli
mkdir -p "$dir/1m" "$dir/100k"

for size in 1m:1000000 100k:100000; do
  sub=${size%%:*} rows=${size#*:}
  [ -s "$dir/$sub/rows1.csv" ] || "$build/bench/bench_make_rows_data" "$dir/$sub" "$rows" >/dev/null
  [ -s "$dir/$sub/rows1.ods" ] || "$build/bench/bench_make_workbooks" "$dir/$sub"/rows{1,2}.csv
done

measure() { # NAME LIMIT_KIB COMMAND...: wall time, CPU time and peak memory of COMMAND
  local name=$1 limit=$2; shift 2
  local figures seconds user system kib
  figures=$(mktemp)
  /usr/bin/time -o "$figures" -f "%e %U %S %M" "$@" > /dev/null 2>&1 || true
  read -r seconds user system kib < <(tail -1 "$figures")
  rm -f "$figures"
  printf '%-52s %7.2f s (cpu %6.2f s) %6d MiB  load %5s' "$name" "$seconds" \
    "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" $(( kib / 1024 )) \
    "$(cut -d' ' -f1 /proc/loadavg)"
  [ "$limit" -gt 0 ] && printf '  limit %5d MiB %s' $(( limit / 1024 )) \
    "$([ "$kib" -le "$limit" ] && echo within || echo OVER)"
  printf '\n'
}
size() { stat -c %s "$1"; }

one=$dir/1m
csvBytes=$(( $(size "$one/rows1.csv") + $(size "$one/rows2.csv") ))
limit=$(( 2 * csvBytes / 1024 + 100 * 1024 ))
echo "rows --key id on the 1M x 10 pair (xlsx $(( $(size "$one/rows1.xlsx") >> 20 )) MiB," \
     "ods $(( $(size "$one/rows1.ods") >> 20 )) MiB, csv $(( $(size "$one/rows1.csv") >> 20 )) MiB each):"
measure "csv" "$limit" "$cli" rows "$one/rows1.csv" "$one/rows2.csv" --key id -q
measure "xlsx (target 5 s)" "$limit" "$cli" rows "$one/rows1.xlsx" "$one/rows2.xlsx" --key id -q
measure "ods (target 8 s)" "$limit" "$cli" rows "$one/rows1.ods" "$one/rows2.ods" --key id -q

small=$dir/100k
echo
echo "the 100k pair, against LibreOffice's converter:"
measure "corvantis-cli rows --key id, xlsx" 0 "$cli" rows "$small/rows1.xlsx" "$small/rows2.xlsx" --key id -q
measure "corvantis-cli rows --key id, ods" 0 "$cli" rows "$small/rows1.ods" "$small/rows2.ods" --key id -q
if command -v soffice >/dev/null; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  peer() { # KIND: convert both workbooks of that kind, then compare the CSVs
    soffice -env:UserInstallation=file://$scratch/profile --headless --convert-to csv \
      --outdir "$scratch/$1" "$small/rows1.$1" "$small/rows2.$1" >/dev/null 2>&1
    "$cli" rows "$scratch/$1/rows1.csv" "$scratch/$1/rows2.csv" --key id -q
  }
  export -f peer
  export scratch small cli
  # A first start makes LibreOffice's profile, which is not what is measured.
  soffice -env:UserInstallation=file://$scratch/profile --headless --terminate_after_init \
    >/dev/null 2>&1 || true
  measure "LibreOffice converts both + rows on the CSVs, xlsx" 0 bash -c 'peer xlsx'
  measure "LibreOffice converts both + rows on the CSVs, ods" 0 bash -c 'peer ods'
else
  echo "(soffice not found: install libreoffice-calc-nogui for the peer's figures)"
fi
