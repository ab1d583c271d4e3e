#!/usr/bin/env bash
# Installs what is missing, builds everything (the programs, the tests and
# the benchmarks), and runs every test (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
