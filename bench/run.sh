#!/usr/bin/env bash
# Sets up .venv with the module and orjson, then prints the frame benchmark table and the
# level-building comparison.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
cd "$ORV_ROOT"
orv_prepare_venv .venv
orv_install_module .venv release
.venv/bin/python -m pip install --quiet --disable-pip-version-check -r bench/requirements.txt
.venv/bin/python bench/bench_frames.py "$@"
echo
.venv/bin/python bench/bench_building.py
