#!/usr/bin/env bash
# Runs a command against the sanitizer build: the ASan runtime must be loaded before the
# interpreter, and Python's own allocator would hide heap errors from it.
#
# Leak checking: the interpreter keeps many allocations until exit, so LeakSanitizer reports
# are written to files instead of failing the run, and scripts/leak_report.py fails the run
# only for leaks allocated by the engine or its bindings.
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
leak_logs=$(mktemp -d)
trap 'rm -rf "$leak_logs"' EXIT

export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)"
export PYTHONMALLOC=malloc
export ASAN_OPTIONS="detect_leaks=1:log_path=$leak_logs/asan:abort_on_error=1:strict_init_order=1"
export LSAN_OPTIONS="exitcode=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

"$@"
status=$?
# Everything but leak reports (sanitizer errors, a LeakSanitizer that could not run) is
# shown as it is; leak reports are judged by leak_report.py.
unset LD_PRELOAD
grep -L "detected memory leaks" "$leak_logs"/asan.* 2>/dev/null | xargs -r cat >&2
python3 "$here/leak_report.py" "$leak_logs" || status=1
exit $status
