#!/usr/bin/env bash
# Runs a command against the sanitizer build: the ASan runtime must be loaded before the
# interpreter, and Python's own allocator would hide heap errors from it.
set -euo pipefail
export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)"
export PYTHONMALLOC=malloc
# The interpreter keeps many allocations until exit, so leak reports would only be noise.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$@"
