#!/usr/bin/env bash
# Installs DuckDB's npm package (@duckdb/node-api) into a scratch folder once
# and runs bench/peer-duckdb.mjs from there with the arguments given. The
# package is a yardstick for bench_rows, never a dependency of the project.
#
# Usage: bench/peer-duckdb.sh FILE1 FILE2 KEY OUT [THREADS] [MEMORY_LIMIT]
#   PEER_DIR: the scratch folder (default /tmp/peer-duckdb)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${PEER_DIR:-/tmp/peer-duckdb}
if [ ! -d "$dir/node_modules/@duckdb/node-api" ]; then
  command -v npm >/dev/null || { echo "peer-duckdb: npm is not installed" >&2; exit 3; }
  mkdir -p "$dir"
  (cd "$dir" && npm init -y >/dev/null && npm install --no-audit --no-fund @duckdb/node-api >&2)
fi
cp "$here/peer-duckdb.mjs" "$dir/"
exec node "$dir/peer-duckdb.mjs" "$@"
