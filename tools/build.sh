#!/usr/bin/env bash
# Installs what is missing, configures ./build (Release) and builds the
# targets named (tools/run.sh: only the program), or everything.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build build -j"$(nproc)" "${targets[@]}"
