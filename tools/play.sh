#!/usr/bin/env bash
# Installs what is needed, builds the game, packs the demo data and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

build=${DOLVICAR_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# The generated half of the demo data (pictures, map, effect tables, sounds) goes into data/.
cmake --build "$build" --target dolvicar mkpack gamedata
"$build/mkpack" data "$build/dolvicar.pak"
cd "$build"
exec ./dolvicar "$@"
