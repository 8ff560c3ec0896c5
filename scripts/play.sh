#!/usr/bin/env bash
# Sets up what playing needs (a virtual environment with the build tools, and the module built
# into it) and plays a level to its end: the bundled sample, or the level given.
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
echo "== afterwards: .venv/bin/python -m orv --help, or .venv/bin/orv --help,"
echo "   or activate the environment once (source .venv/bin/activate) and run: orv --help"
exit "$status"
