"""Brindlewick Engine Python Bindings

Type information for the ``orv_engine`` extension module. The signatures are those the module
reports itself (see each function's ``__doc__``). Text parameters are typed ``str``; the module
also takes ``bytes`` and ``bytearray`` there.

How a level runs: a ``NarrativeSequencer`` takes one step per ``next_frame()`` call. At the
start of a step every zone is time-frozen while one of its direct sub-zones still has an agent
or holds more than one charge. The agents of the zones that are not frozen are gathered inner
zones first (each sub-zone with everything below it, earlier sub-zones first, then the zone's
own agents in the order they were added) and tried by priority, highest first; equal
priorities keep that order, however many agents are gathered. The first agent whose spell
takes effect casts and leaves its zone. When nobody casts, the first zone below the top with
no agent and exactly one charge (sub-zones searched before their zone) moves its charge to the
end of its parent's charges and leaves the level; when no zone can, the level ends
("Equation Resolved."). A level gets at most 1000 steps; the call after the 1000th reports
status "ERROR". NaN and infinite numbers are written null in JSON; a NaN total opens no gate.

Signs: a POSITIVE charge counts +magnitude and a NEGATIVE one -magnitude. NEUTRAL counts
negative for Plus, Minus and the gates (the "signed value") and positive for Multiply, Divide,
Power, Root, Factorial and Abs, which count only NEGATIVE as negative. A result charge is
appended at the end of its zone's list, its visual id the spell's prefix followed by the
caster's visual id. ``python -m orv agents`` prints these rules as a table.
"""

import collections.abc
import typing

class ChargePolarity:
    """Sign class of a charge. Equal only to members of this type, never to an int."""

    POSITIVE: typing.ClassVar[ChargePolarity]
    NEGATIVE: typing.ClassVar[ChargePolarity]
    NEUTRAL: typing.ClassVar[ChargePolarity]
    __members__: typing.ClassVar[dict[str, ChargePolarity]]

    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None: ...
    def __eq__(self, other: object, /) -> bool: ...
    def __ne__(self, other: object, /) -> bool: ...
    def __hash__(self, /) -> int: ...
    def __index__(self, /) -> int: ...
    def __int__(self, /) -> int: ...
    def __getstate__(self, /) -> int: ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex, /) -> None: ...
    @property
    def name(self, /) -> str: ...
    @property
    def value(self) -> int: ...

POSITIVE: ChargePolarity
NEGATIVE: ChargePolarity
NEUTRAL: ChargePolarity

class Charge:
    """A numeric token: magnitude, polarity and the visual id the game draws it by."""

    def __init__(
        self,
        magnitude: typing.SupportsFloat | typing.SupportsIndex,
        polarity: ChargePolarity,
        visual_id: str,
    ) -> None: ...
    @property
    def magnitude(self) -> float: ...
    @magnitude.setter
    def magnitude(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None: ...
    @property
    def polarity(self) -> ChargePolarity: ...
    @polarity.setter
    def polarity(self, arg0: ChargePolarity) -> None: ...
    @property
    def visual_id(self) -> str: ...
    @visual_id.setter
    def visual_id(self, arg0: str) -> None: ...
    def to_json(self) -> str:
        """``{"magnitude":5.0,"polarity":"negative","visual_id":"c1"}``; NaN is null."""

class Environment:
    """A zone: charges, agents and nested zones. Zones are shared, never copied."""

    def __init__(self, id: str) -> None:
        """An empty, unfrozen zone with the given id."""
    @property
    def id(self) -> str: ...
    @id.setter
    def id(self, arg0: str) -> None: ...
    @property
    def charges(self) -> list[Charge]:
        """A new list on every read; its items write through to the zone."""
    @charges.setter
    def charges(self, arg0: collections.abc.Sequence[Charge]) -> None: ...
    @property
    def is_time_frozen(self) -> bool:
        """Recomputed at the start of every step: true while a direct sub-zone still has an
        agent or more than one charge. Written false for a zone without sub-zones."""
    @is_time_frozen.setter
    def is_time_frozen(self, arg0: bool) -> None: ...
    def to_json(self) -> str:
        """The zone and its whole subtree as compact JSON, keys sorted."""
    def add_charge(
        self,
        magnitude: typing.SupportsFloat | typing.SupportsIndex,
        polarity: ChargePolarity,
        visual_id: str,
    ) -> None:
        """Append a charge to the end of the zone's list."""
    def add_sub_environment(self, sub_env: Environment) -> None:
        """Nest ``sub_env`` in this zone (after the sub-zones already there). Adding a zone
        beneath itself or its own descendants raises ValueError."""
    def add_plus_magician(self, visual_id: str) -> None:
        """Plus Magician, priority 10: replaces every charge (2 or more) by their sum of
        signed values; positive when >= 0, else negative. Visual id "result_" + visual_id."""
    def add_minus_magician(self, visual_id: str) -> None:
        """Minus Magician, priority 10: replaces every charge (2 or more) by the first signed
        value minus each later one. Visual id "result_" + visual_id."""
    def add_multiply_magician(self, visual_id: str) -> None:
        """Multiply Magician, priority 50: replaces every charge (2 or more) by the product
        of the magnitudes; negative for an odd count of NEGATIVE charges, NEUTRAL below 1e-9.
        Visual id "result_product_" + visual_id."""
    def add_divide_magician(self, visual_id: str) -> None:
        """Divide Magician, priority 50: replaces every charge (2 or more) by the first
        magnitude divided by each later one; declines when a divisor is below 1e-9 in size.
        Polarity as for Multiply. Visual id "result_quotient_" + visual_id."""
    def add_power_sorcerer(self, visual_id: str) -> None:
        """Power Sorcerer, priority 75: replaces the last two charges (base, exponent) by
        base ** exponent, a NEGATIVE operand counting negative; NEUTRAL for 0 or NaN.
        Visual id "result_power_" + visual_id."""
    def add_root_magician(self, visual_id: str) -> None:
        """The Extractor, priority 75: one charge: its square root (declines if it is
        NEGATIVE); more: the k-th root of the last (degree k = the second-to-last), the real
        root of a negative radicand for an odd degree, declining for an even, NaN or infinite
        one. Visual id "result_root_" + visual_id."""
    def add_abs_magician(self, visual_id: str) -> None:
        """The Purifier, priority 90: turns every NEGATIVE charge POSITIVE, prefixing its
        visual id with "purified_"; adds nothing. Casts on any non-empty zone."""
    def add_factorial_magician(self, visual_id: str) -> None:
        """The Replicator, priority 85: replaces the last charge by floor(magnitude)!
        (1 for 0 and below, infinity from 171 on); declines a NEGATIVE or NaN charge.
        Visual id "result_factorial_" + visual_id."""
    def add_modulo_magician(self, visual_id: str) -> None:
        """The Scavenger, priority 50: replaces the last two charges by fmod of their
        magnitudes (the sign of the first), POSITIVE; declines a divisor below 1e-9 in size.
        Visual id "result_remainder_" + visual_id."""
    def add_log_magician(self, visual_id: str) -> None:
        """The Architect, priority 90: one charge: log10 of its magnitude; more: the log of
        the last in the base of the second-to-last. Declines for x <= 0, a base <= 0 or a base
        of exactly 1. Visual id "result_log_" + visual_id."""
    def add_chronomancer(self, visual_id: str) -> None:
        """Chronomancer, priority 100: never casts and never leaves, so its zone never
        collapses and the zone around it stays frozen."""
    def add_equals_gate(
        self, visual_id: str, target: typing.SupportsFloat | typing.SupportsIndex
    ) -> None:
        """Equals Gate, priority 0: opens (and leaves the zone) when the zone is not empty and
        its signed total is within 1e-6 of ``target``. Changes no charge."""
    def add_inequality_gate(
        self,
        visual_id: str,
        target: typing.SupportsFloat | typing.SupportsIndex,
        comparison_type: typing.Literal["<", ">", "<=", ">="],
    ) -> None:
        """The Judge, priority 0: opens (and leaves the zone) when the zone is not empty and
        "total comparison_type target" holds, with no tolerance. Changes no charge.

        The engine accepts any text for ``comparison_type``: one character other than ">",
        or two other than "<=" and ">=", or any other length, compares with "<".
        """

class NarrativeSequencer:
    """Steps a level one frame per next_frame() call; at most 1000 steps."""

    def __init__(self, env: Environment) -> None:
        """A sequencer for the level whose top zone is ``env`` (shared, not copied)."""
    def next_frame(self) -> str:
        """Take one step and return the frame: the whole tree plus "meta" (frame_index,
        status "RUNNING"/"FINISHED"/"ERROR", message, last_event)."""
    @property
    def is_finished(self) -> bool:
        """True once the level has ended or the 1000-step budget is spent."""
    @is_finished.setter
    def is_finished(self, arg0: bool) -> None: ...
    @property
    def current_frame(self) -> int:
        """The number of steps taken so far."""
    @current_frame.setter
    def current_frame(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None: ...
