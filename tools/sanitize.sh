#!/usr/bin/env bash
# Builds everything with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (and the libFuzzer targets) into ./build-asan, then runs every test there
# with leak checking on; the first report fails the run. Installs clang and
# its runtime libraries when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh clang libclang-rt-dev ninja-build

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANTIS_FUZZ=ON -DCORVANTIS_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
