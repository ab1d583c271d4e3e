#!/usr/bin/env bash
# Installs what is missing, builds the program (and nothing else: the tests
# and benchmarks are built by tools/test.sh), and starts Corvantis with the
# arguments given (files to load, --lines, --words, --help, --version).
set -euo pipefail
# The program starts in the caller's folder, so that file names given
# relative to it are found.
root=$(cd "$(dirname "$0")/.." && pwd)
(cd "$root" && tools/build.sh corvantis)
exec "$root/build/bin/corvantis" "$@"
