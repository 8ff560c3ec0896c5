"""Numbers and counts as a person reads them: the one formatter of the narration, the summary
and the viewer (whose page script has the same rules in ``formatNumber``).

``number(2.4837872594988064)`` is ``2.48379``: at most six significant digits, whole numbers
without a decimal point (``13``, not ``13.0``), exponent form only for very large or very
small values (``1.5e+20``, ``1e-7``), ``NaN`` for the JSON null of a value that is not a
number, and ``inf``/``-inf``. A zero reads ``0`` whatever its sign bit, unless the caller
says the sign matters (``signed_zero``): only a few operands turn on it, such as the base of
a power (0 ^ -1 is inf, -0 ^ -1 is -inf).

Reports and ``--json`` keep every digit: ``number(value, digits=None)`` is the shortest text
that reads back to the same double, as Python writes it (``13.0``, ``-0.0``).
"""

from __future__ import annotations

import math
from decimal import ROUND_HALF_UP, Decimal

READABLE_DIGITS = 6

# Whole numbers below this are written with all their digits; every such double is exact.
_WHOLE_LIMIT = 1e15

# Fixed notation for decimal exponents in [-4, READABLE_DIGITS), as printf's %g does.
_SMALLEST_FIXED_EXPONENT = -4


def number(value: float | None, digits: int | None = READABLE_DIGITS,
           signed_zero: bool = False) -> str:
    """``value`` for a reader: ``digits`` significant digits at most, or every digit when
    ``digits`` is None; None (a JSON null) reads NaN."""
    if value is None or math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    if digits is None:
        return repr(float(value))
    if value == 0:
        return "-0" if signed_zero and math.copysign(1.0, value) < 0 else "0"
    if float(value).is_integer() and abs(value) < _WHOLE_LIMIT:
        return str(int(value))
    return _rounded(float(value), digits)


def _rounded(value: float, digits: int) -> str:
    # Decimal holds the double's exact value, so a tie rounds away from zero exactly as the
    # page script's toExponential and toFixed do, and both texts agree.
    exact = Decimal(value)
    rounded = exact.quantize(Decimal(1).scaleb(exact.adjusted() - digits + 1), ROUND_HALF_UP)
    exponent = rounded.adjusted()
    if _SMALLEST_FIXED_EXPONENT <= exponent < digits:
        text = format(rounded, "f")
        return text.rstrip("0").rstrip(".") if "." in text else text
    sign, figures, _ = rounded.as_tuple()
    shown = "".join(map(str, figures)).rstrip("0") or "0"
    mantissa = shown[0] + ("." + shown[1:] if len(shown) > 1 else "")
    return f"{'-' if sign else ''}{mantissa}e{'+' if exponent >= 0 else '-'}{abs(exponent)}"


def counted(count: int, word: str, plural: str | None = None) -> str:
    """``1 zone``, ``2 zones``, ``0 zones``; ``plural`` for words that do not just add s."""
    return f"{count:,} {word if count == 1 else plural or word + 's'}"
