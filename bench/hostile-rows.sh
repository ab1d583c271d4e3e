#!/usr/bin/env bash
# Runs corvantis-cli rows on hostile inputs and prints, for each, the wall
# time and the peak memory against the limit of twice the two files' bytes
# plus 100 MB. The files are made in FOLDER (default bench/data/hostile).
#
# Usage: bench/hostile-rows.sh [CLI] [FOLDER] [ROWS_FILE1 ROWS_FILE2]
#   CLI: the corvantis-cli to run (default build/bin/corvantis-cli)
#   ROWS_FILE1/2: a large keyed pair (bench_make_rows_data) to add to the run
#   ONLY: runs only the cases whose name holds this text (e.g. ONLY=one-byte)
#   CORVANTIS_FORMATS: the report formats to run (default: all five; each
#   report goes to a file, as xlsx must)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/bin/corvantis-cli}
dir=${2:-bench/data/hostile}
mkdir -p "$dir"

make_once() { # FILE COMMAND...: makes FILE with COMMAND unless it is there
  local file=$1; shift
  [ -s "$file" ] || "$@" > "$file"
}
make_once "$dir/wide1.csv" awk 'BEGIN { n = 1000000
  for (i = 1; i <= n; i++) printf "c%d%s", i, (i < n ? "," : "\n")
  for (i = 1; i <= n; i++) printf "%d%s", i, (i < n ? "," : "\n") }'
make_once "$dir/wide2.csv" awk 'BEGIN { n = 1000000
  for (i = n; i >= 1; i--) printf "c%d%s", i, (i > 1 ? "," : "\n")
  for (i = n; i >= 1; i--) printf "%d%s", i + (i % 1000 == 0), (i > 1 ? "," : "\n") }'
make_once "$dir/names.csv" awk 'BEGIN { n = 1000000
  for (i = 1; i <= n; i++) printf "name %d%s", i, (i < n ? "," : "\n") }'
make_once "$dir/cell.csv" sh -c 'printf "id,v\n1,\""; head -c 500000000 /dev/zero | tr "\0" "x"; printf "\"\n"'
make_once "$dir/cell2.csv" sh -c 'printf "id,v\n1,\""; head -c 500000000 /dev/zero | tr "\0" "y"; printf "\"\n"'
make_once "$dir/repeated1.csv" awk 'BEGIN { print "id,v"; for (i = 0; i < 1000000; i++) print "7," i }'
make_once "$dir/repeated2.csv" awk 'BEGIN { print "id,v"; for (i = 0; i < 1000000; i++) print "7," i + 1 }'
make_once "$dir/header.csv" echo "id,first,last,email,city,country,amount,currency,date,note"
# Rows of one byte: what each record costs beyond its text.
make_once "$dir/short1.csv" awk 'BEGIN { print "a"; for (i = 0; i < 10000000; i++) print "x" }'
make_once "$dir/short2.csv" awk 'BEGIN { print "a"
  for (i = 0; i < 10000000; i++) printf "%x\n", (i * 7919) % 16 }'
# A changed 100 MB cell of doubled quotes and line breaks.
make_once "$dir/quotes1.csv" sh -c 'printf "id,v\n1,\""; yes "\"\"" | head -c 99999999; printf "\"\n"'
make_once "$dir/quotes2.csv" sh -c 'printf "id,v\n1,\""; yes "a\"\"" | head -c 99999999; printf "\"\n"'


run() { # NAME FILE1 FILE2 ARGS...
  local name=$1 a=$2 b=$3; shift 3
  [[ -z "${ONLY:-}" || "$name" == *"$ONLY"* ]] || return 0
  local bytes limit
  bytes=$(( $(stat -c %s "$a") + $(stat -c %s "$b") ))
  limit=$(( 2 * bytes / 1024 + 100 * 1024 ))
  local figures seconds user system cpu kib
  figures=$(mktemp)
  /usr/bin/time -o "$figures" -f "%e %U %S %M" "$cli" rows "$a" "$b" "$@" --output "$dir/report" \
    2> /dev/null || true
  rm -f "$dir/report"
  read -r seconds user system kib < <(tail -1 "$figures")
  rm -f "$figures"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
  printf '%-44s %7.2f s (cpu %6.2f s) %6d MiB  limit %6d MiB  %s\n' "$name" "$seconds" "$cpu" \
    $(( kib / 1024 )) $(( limit / 1024 )) "$([ "$kib" -le "$limit" ] && echo within || echo OVER)"
}

echo "corvantis-cli rows on hostile inputs (wall time, CPU time, peak memory);" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg):"
for format in ${CORVANTIS_FORMATS:-text csv json html xlsx}; do
  run "1M columns, one row, --format $format" "$dir/wide1.csv" "$dir/wide2.csv" --format "$format"
  run "1M columns named in a header, $format" "$dir/names.csv" "$dir/names.csv" --format "$format"
  run "a 500 MB cell, --key id, $format" "$dir/cell.csv" "$dir/cell2.csv" --key id --format "$format"
  run "1M rows of one key in both, $format" "$dir/repeated1.csv" "$dir/repeated2.csv" --key id --format "$format"
  run "10M one-byte rows, --key a, $format" "$dir/short1.csv" "$dir/short2.csv" --key a --format "$format"
  run "a 100 MB cell of quotes and breaks, $format" "$dir/quotes1.csv" "$dir/quotes2.csv" --key id --format "$format"
done
run "10M one-byte rows, --key a -q" "$dir/short1.csv" "$dir/short2.csv" --key a -q
# Without a key every row is removed or added: the lists of them count too.
run "10M one-byte rows, no key -q" "$dir/short1.csv" "$dir/short2.csv" -q
if [ $# -ge 4 ]; then
  for format in ${CORVANTIS_FORMATS:-text csv json html xlsx}; do
    run "pair --key id, $format" "$3" "$4" --key id --format "$format"
    run "pair against a header only, $format" "$3" "$dir/header.csv" --key id --format "$format"
  done
fi
