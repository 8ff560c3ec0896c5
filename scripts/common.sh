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

# orv_prepare_venv DIR: a 3.12 virtual environment at DIR with the pinned build and test tools.
orv_prepare_venv() {
    local venv=$1 python
    if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 12))'; then
        python=$(orv_find_python312)
        rm -rf "$venv"
        "$python" -m venv "$venv"
    fi
    "$venv/bin/python" -m pip install --quiet --disable-pip-version-check -r "$ORV_ROOT/requirements-dev.txt"
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
