"""The browser engine run by Node, for comparing it with the Python module: one Node process
(engine_driver.js) answers call after call."""

from __future__ import annotations

import json
import shutil
import subprocess
from pathlib import Path
from typing import Any

from orv_test_support import environment_without_sanitizer

NODE = shutil.which("node") or shutil.which("nodejs")
DRIVER = Path(__file__).with_name("engine_driver.js")


def _javascript_whole_number(literal: str) -> int | float:
    # JavaScript's numbers are doubles, which it writes in whole digits up to 1e21
    # (20000000000000010 for 2.000000000000001e+16); a long one is the double it stands for.
    return int(literal) if len(literal.lstrip("-")) < 16 else float(literal)


class EngineError(Exception):
    """What an engine call threw: ``name`` (the JavaScript class), ``message``, and the
    ``problems`` of a ProblemsError."""

    def __init__(self, name: str, message: str, problems: list[dict[str, str]] | None) -> None:
        super().__init__(f"{name}: {message}")
        self.name = name
        self.message = message
        self.problems = problems


class NodeEngine:
    """The browser engine at ``engine`` in a Node process; use it in a ``with`` block."""

    def __init__(self, engine: Path) -> None:
        assert NODE is not None, "Node is not installed"
        self._process = subprocess.Popen(
            [NODE, str(DRIVER), str(engine)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            env=environment_without_sanitizer(), text=True, encoding="utf-8")

    def __enter__(self) -> NodeEngine:
        return self

    def __exit__(self, *exc_info: object) -> None:
        assert self._process.stdin is not None and self._process.stdout is not None
        self._process.stdin.close()
        self._process.wait(timeout=60)
        self._process.stdout.close()

    def call(self, name: str, *args: Any) -> Any:
        """The result of ``engine.NAME(*args)``; EngineError for what it throws."""
        assert self._process.stdin is not None and self._process.stdout is not None
        self._process.stdin.write(json.dumps({"call": name, "args": args}) + "\n")
        self._process.stdin.flush()
        line = self._process.stdout.readline()
        if not line:
            raise RuntimeError(f"the Node engine ended (status {self._process.wait()})")
        answer = json.loads(line, parse_int=_javascript_whole_number)
        if "error" in answer:
            raise EngineError(**answer["error"])
        return answer["result"]
