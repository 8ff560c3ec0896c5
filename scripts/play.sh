#!/usr/bin/env bash
# Sets up what playing needs (a virtual environment with the build tools, and the module built
# into it) and plays a level to its end: the bundled sample, or the level given. Then, when the
# browser engine was built (Emscripten's em++ was found), it writes the shipped campaign's
# game page, game.html, and says where it is.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ORV_ROOT"
echo "== setting up .venv with the build tools (requirements-build.txt)"
orv_prepare_venv .venv requirements-build.txt
echo "== building the orv_engine module into .venv (about a minute the first time)"
orv_install_module .venv release
echo "== playing"
status=0
.venv/bin/python -m orv play "$@" || status=$?
if .venv/bin/python -c "import orv.web as w; w.browser_engine_path()" 2>/dev/null; then
    if .venv/bin/python -m orv export --game campaign -o game.html >/dev/null; then
        echo "== the game: open $ORV_ROOT/game.html in a browser (the campaign's puzzles, offline)"
    fi
else
    echo "== no game page: the browser engine was not built (Emscripten's em++ is missing;"
    echo "   Debian: apt-get install emscripten, then run this again)"
fi
echo "== afterwards: .venv/bin/python -m orv --help, or .venv/bin/orv --help,"
echo "   or activate the environment once (source .venv/bin/activate) and run: orv --help"
exit "$status"
