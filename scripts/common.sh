# Shared by the scripts in this folder: find CPython 3.12 and build the module into a venv.
# shellcheck shell=bash

ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Prints the path of a CPython 3.12 interpreter, or fails: nothing may build with another one.
orv_find_python312() {
    local candidate
    for candidate in "$(PYENV_VERSION=3.12 pyenv which python3.12 2>/dev/null)" \
                     "$(command -v python3.12 2>/dev/null)"; do
        if [ -n "$candidate" ] && "$candidate" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 12))' 2>/dev/null; then
            echo "$candidate"
            return 0
        fi
    done
    echo "error: CPython 3.12 not found (pyenv install 3.12, or put python3.12 on PATH)" >&2
    return 1
}

# orv_prepare_venv DIR [REQUIREMENTS]: a 3.12 virtual environment at DIR with the pinned tools
# of REQUIREMENTS (default: requirements-dev.txt, the build and test tools).
orv_prepare_venv() {
    local venv=$1 requirements=${2:-requirements-dev.txt} python
    if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 12))'; then
        python=$(orv_find_python312)
        rm -rf "$venv"
        "$python" -m venv "$venv"
    fi
    "$venv/bin/python" -m pip install --quiet --disable-pip-version-check -r "$ORV_ROOT/$requirements"
}

# orv_install_module VENV BUILD_NAME [CMAKE_DEFINE...]: builds the module incrementally in
# build/BUILD_NAME and installs it into VENV.
orv_install_module() {
    local venv=$1 build_name=$2
    shift 2
    local defines=()
    for define in "$@"; do
        defines+=("-Ccmake.define.$define")
    done
    "$venv/bin/python" -m pip install --quiet --disable-pip-version-check --no-build-isolation \
        "-Cbuild-dir=build/$build_name" "${defines[@]}" "$ORV_ROOT"
}

# orv_run_cpp_tests BUILD_NAME: runs the C++ tests of engine internals that the module's build
# in build/BUILD_NAME compiled beside it (-Ccmake.define.ORV_BUILD_CPP_TESTS=ON).
orv_run_cpp_tests() {
    "$ORV_ROOT/build/$1/tests/cpp/orv_cpp_tests"
}

# The Python suite's options: a test file to a worker on every core (at most 4: each may drive
# Chromium, Node or a Dask cluster). Arguments given after them override them (-n 0: one
# process).
orv_pytest_options=(--numprocesses=auto --maxprocesses=4 --dist=loadfile)

# orv_ensure_chromium: the frame viewer's tests drive a real browser. Installs Debian's
# chromium when it is missing and this shell can (root with apt-get); otherwise says so.
orv_ensure_chromium() {
    command -v chromium >/dev/null 2>&1 && return 0
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "== installing chromium for the viewer's browser tests (apt-get)"
        if apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium; then
            return 0
        fi
    fi
    return 1
}

# orv_warn_no_browser: the loud notice that the browser tests did not run.
orv_warn_no_browser() {
    cat >&2 <<'NOTICE'
############################################################################################
# WARNING: chromium is not installed, so the frame viewer's BROWSER TESTS WERE SKIPPED.      #
# Install it (Debian: apt-get install chromium, as root) and run the tests again.           #
############################################################################################
NOTICE
}

# orv_ensure_emscripten: the browser engine is built with Emscripten (em++) and its tests run
# in Node. Installs Debian's emscripten (with node-acorn, which its optimizer needs) and, when
# no Node is there, nodejs, when they are missing and this shell can (root with apt-get).
orv_ensure_emscripten() {
    local node=yes packages=()
    command -v node >/dev/null 2>&1 || command -v nodejs >/dev/null 2>&1 || node=no
    command -v em++ >/dev/null 2>&1 && [ "$node" = yes ] && return 0
    command -v em++ >/dev/null 2>&1 || packages+=(emscripten node-acorn)
    [ "$node" = yes ] || packages+=(nodejs)
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "== installing ${packages[*]} for the browser engine and its tests (apt-get)"
        if apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${packages[@]}"; then
            return 0
        fi
    fi
    return 1
}

# orv_warn_no_browser_engine: the loud notice that the browser engine was not built or tested.
orv_warn_no_browser_engine() {
    cat >&2 <<'NOTICE'
############################################################################################
# WARNING: Emscripten (em++) or Node is missing, so the BROWSER ENGINE WAS NOT BUILT and its #
# TESTS WERE SKIPPED. Install them (Debian: apt-get install emscripten node-acorn nodejs, as #
# root) and run the tests again.                                                            #
############################################################################################
NOTICE
}
