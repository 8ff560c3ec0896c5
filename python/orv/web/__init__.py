"""The browser engine: the engine's C++ compiled to WebAssembly by Emscripten, one JavaScript
file with the WebAssembly inlined (``orv_engine.js``, a module factory ``OrvEngine``) and its
TypeScript declarations (``orv_engine.d.ts``) beside it. A page opened from ``file://`` can
use it with no network, and its frames are byte for byte those of ``orv_engine``.

``pip install`` builds the file into this folder when Emscripten (``em++``) is found; a build
without it has everything else. ``browser_engine_path()`` gives the file, or says in one line
how to get it.
"""

from __future__ import annotations

from pathlib import Path

ENGINE_FILE = "orv_engine.js"
DECLARATIONS_FILE = "orv_engine.d.ts"
FOLDER = Path(__file__).parent


class BrowserEngineMissing(FileNotFoundError):
    """This installation was built without Emscripten, so it has no browser engine."""


def browser_engine_path() -> Path:
    """The browser engine's JavaScript file; BrowserEngineMissing when it was not built."""
    path = FOLDER / ENGINE_FILE
    if not path.is_file():
        raise BrowserEngineMissing(
            "the browser engine was not built with this installation, since Emscripten was "
            "missing; install it (Debian: apt-get install emscripten) and reinstall orv_engine "
            "(pip install .), or build it alone with scripts/build_browser_engine.sh")
    return path


def browser_engine_script() -> str:
    """The browser engine's JavaScript, to stand inside a page's script element;
    BrowserEngineMissing when it was not built."""
    engine = browser_engine_path().read_text(encoding="utf-8")
    # Base64 and the module's own code never hold it, but a page must not end early if they do.
    if "</script" in engine.lower():
        raise RuntimeError("the browser engine's file contains </script>")
    return engine


def declarations_path() -> Path:
    """The TypeScript declarations of the browser engine's API (shipped in every build)."""
    return FOLDER / DECLARATIONS_FILE
