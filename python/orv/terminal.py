"""Text for a reader's terminal, made inert.

Ids, names and file names come from levels that anybody may have written; sent to a terminal
as they are, an ESC or a CSI sequence in them can retitle or clear the screen, hide lines, or
make one line look like another. Every line that the commands print for a person goes
through ``terminal_text``, which writes control characters as escapes (``\\x1b``), as Python
writes them in a repr. Output for programs (``--json``, JSON Lines reports, frames) keeps
the exact text.
"""

from __future__ import annotations

import re
import sys
from typing import TextIO

NAMED_ESCAPES = {"\t": "\\t", "\n": "\\n", "\r": "\\r"}
# C0 and C1 controls and DEL; the characters that reorder text or break lines in a
# terminal's eyes (bidirectional overrides and isolates, the line and paragraph
# separators); lone surrogates, which no encoding can write.
CONTROLS = re.compile("[\x00-\x1f\x7f-\x9f\u2028\u2029\u202a-\u202e\u2066-\u2069"
                      "\ud800-\udfff]")


def terminal_text(text: str) -> str:
    """``text`` with every control character written as its escape."""
    return CONTROLS.sub(_escape, text)


def _escape(match: re.Match[str]) -> str:
    character = match.group()
    named = NAMED_ESCAPES.get(character)
    if named is not None:
        return named
    code = ord(character)
    return f"\\x{code:02x}" if code < 0x100 else f"\\u{code:04x}"


def say(line: str, stream: TextIO | None = None) -> None:
    """Print one line for a person, on standard error unless ``stream`` is given."""
    print(terminal_text(line), file=stream or sys.stderr)
