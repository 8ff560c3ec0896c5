#!/usr/bin/env bash
# Sets up everything and runs every test: the Python suite against the normal build (with the
# browser engine, built by Emscripten and run by Node and Chromium), the C++ tests of engine
# internals, and the Python suite again against the AddressSanitizer +
# UndefinedBehaviorSanitizer build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ORV_ROOT"

notices=()
orv_ensure_chromium || notices+=(orv_warn_no_browser)
orv_ensure_emscripten || notices+=(orv_warn_no_browser_engine)
say_notices() {
    local notice
    for notice in "${notices[@]}"; do
        "$notice"
    done
}
# Said at the start and again at the end, whether the tests pass or not.
if [ "${#notices[@]}" -gt 0 ]; then
    say_notices
    trap say_notices EXIT
fi
orv_prepare_venv .venv
orv_install_module .venv release
echo "== tests: release build"
.venv/bin/python -m pytest "${orv_pytest_options[@]}" "$@"

# The sanitizer build compiles the C++ tests beside the module, so the engine is compiled once
# for both.
orv_prepare_venv .venv-sanitize
orv_install_module .venv-sanitize sanitize ORV_SANITIZE=ON ORV_VALIDATE=ON ORV_BUILD_CPP_TESTS=ON
echo "== tests: C++ engine internals (sanitizer build, ORV_VALIDATE)"
orv_run_cpp_tests sanitize

echo "== tests: sanitizer build (ASan + UBSan) with the engine's own checks (ORV_VALIDATE)"
# The wheel's packaging is checked by the release run; here it would only build the whole
# project once more without the sanitizers.
bash scripts/sanitized.sh .venv-sanitize/bin/python -m pytest "${orv_pytest_options[@]}" \
    --ignore=tests/orv/test_wheel_install.py "$@"
