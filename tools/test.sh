#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
#   DOLVICAR_BUILD_DIR  build folder (default: build)
#   DOLVICAR_SANITIZE   1 for an AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

build=${DOLVICAR_BUILD_DIR:-build}
sanitize=${DOLVICAR_SANITIZE:-0}
cmake -S . -B "$build" -G Ninja -DDOLVICAR_SANITIZE=$([ "$sanitize" = 1 ] && echo ON || echo OFF) >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
