#!/usr/bin/env bash
# Fails when a C++ file of ours is not formatted as .clang-format says.
# Releases of clang-format format differently, so the check is pinned to the
# one Debian 12 ships (14). Where no clang-format 14 can be had (Debian 13
# has 17 to 19 only), the check is skipped, saying so; CLANG_FORMAT names
# another binary to use instead.
set -euo pipefail
cd "$(dirname "$0")/.."
pinned=clang-format-14
format=${CLANG_FORMAT:-$pinned}
if ! command -v "$format" >/dev/null && [ "$format" = "$pinned" ]; then
  tools/deps.sh "$pinned" || true
  if ! command -v "$format" >/dev/null; then
    if apt-cache policy "$pinned" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
      echo "$pinned is available but could not be installed" >&2
      exit 1
    fi
    . /etc/os-release 2>/dev/null || true
    echo "format check skipped: $pinned, the release the code is formatted with, is not" \
      "available on ${PRETTY_NAME:-this system}; it runs where it is (Debian 12)," \
      "or with CLANG_FORMAT=/path/to/clang-format-14"
    exit 0
  fi
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror
echo "every C++ file is formatted ($("$format" --version))"
