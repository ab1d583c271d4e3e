#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvantis.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
exec build/bin/corvantis "$@"
