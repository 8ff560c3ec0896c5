#!/usr/bin/env bash
# Sets up everything and plays the bundled sample level to its end.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ORV_ROOT"
orv_prepare_venv .venv
orv_install_module .venv release
.venv/bin/python -m orv play "$@"
