#!/usr/bin/env bash
# Builds the suites whose threads meet (the mixer, timers, the software cursor,
# the SDL host and the game's exits on it) under ThreadSanitizer and runs them.
#   DOLVICAR_BUILD_DIR  build folder (default: build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

build=${DOLVICAR_BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DDOLVICAR_TSAN=ON -DDOLVICAR_BENCH=OFF >/dev/null
cmake --build "$build" --target threaded_suites
# No suppressions: every report fails the run. The game run by the desktop
# tests is this build too, and ends with TSan's status at its first report.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
# Mesa's software GL driver (SDL's renderer on Xvfb) rasterises on threads of
# its own whose locks it makes and destroys inside the driver, which TSan
# cannot see into and reports as races; with none the driver draws on the
# thread that calls it, so every GL call is still checked.
export LP_NUM_THREADS=0
# A desktop run costs several times more here: two a batch, where the normal
# build makes ten.
export DOLVICAR_EXIT_RUNS=${DOLVICAR_EXIT_RUNS:-2}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600 -L threads
