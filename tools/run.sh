#!/usr/bin/env bash
# Installs what is missing, builds the program (and nothing else: the tests
# and benchmarks are built by tools/test.sh), and starts Corvantis with the
# arguments given (files to load, --lines, --words, --help, --version).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh corvantis
exec build/bin/corvantis "$@"
