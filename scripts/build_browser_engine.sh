#!/usr/bin/env bash
# Builds the browser engine (the engine compiled to WebAssembly by Emscripten, one JavaScript
# file) into build/browser, incrementally, and prints the path of the file. `pip install .`
# builds the same file into the package whenever em++ is found; this script is for working on
# it alone. Needs em++ (Debian: apt-get install emscripten) and the .venv that scripts/test.sh
# or scripts/play.sh sets up (for CMake, Ninja and the nlohmann-json headers). No network.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ORV_ROOT"

if ! command -v em++ >/dev/null 2>&1; then
    echo "error: em++ not found; install Emscripten (Debian: apt-get install emscripten)" >&2
    exit 1
fi
orv_prepare_venv .venv requirements-build.txt
nlohmann=$(.venv/bin/python -c 'import importlib.util, pathlib; found = importlib.util.find_spec("nlohmann_json"); print(pathlib.Path(found.submodule_search_locations[0]) / "include")')
toolchain=$(dirname "$(realpath "$(command -v em++)")")/cmake/Modules/Platform/Emscripten.cmake
build=$ORV_ROOT/build/browser
.venv/bin/cmake -S "$ORV_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_MAKE_PROGRAM="$ORV_ROOT/.venv/bin/ninja" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DORV_NLOHMANN_INCLUDE_DIR="$nlohmann" > "$build.log" || { cat "$build.log"; exit 1; }
.venv/bin/cmake --build "$build" >&2
echo "$build/src/bindings/wasm/orv_engine.js"
