#!/usr/bin/env bash
# Fails when a C++ file of ours is not formatted as .clang-format says.
# Formatting differs between clang-format releases: CI pins the one Debian 12 ships.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh clang-format
format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" >/dev/null || format=clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror
echo "every C++ file is formatted ($("$format" --version))"
