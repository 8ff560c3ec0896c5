"""Randomised, stateful tests that drive the whole Python API of orv_engine.

A hypothesis state machine builds zones, nests them (shared children, repeated children and
attempted cycles included), fills them with charges and agents, reads and writes every
attribute, keeps charge items around to use them later, builds sequencers (several on one
tree too) and steps them, all in random order and with hostile values: NaN, infinities,
subnormals, negative zero, polarities outside the three members, empty, non-ASCII and
invalid UTF-8 texts. It keeps its own model of the zone graph, the agent lists, the charge
generations and the sequencers, and after every step checks the engine against it:

- every ``to_json`` and ``next_frame`` text is compact JSON of the expected shape, or the
  JSON library's type_error.316 exactly when the tree holds invalid UTF-8 text;
- a frame follows the sequencer's three states (stepping, finished, exhausted) and a step
  does exactly one thing: one spell in one unfrozen zone, one collapse of the first resolved
  zone, or the end of the level; the spell leaves the charges its kind of agent leaves, and
  no agent that could not have declined is passed over for one of lower priority;
- the zone graph matches the model: a cycle is refused with ValueError exactly when the child
  is the parent or reaches it, and nothing else changes the graph but collapses;
- charge items read from a zone keep working until that zone's charge list changes, and then
  raise ReferenceError;
- the frozen flags are those computed at the start of the last step.

A separate test runs random levels that nobody touches to their end and checks they end
within (agent-list entries) + (parent-to-child links) + 1 steps.

Example counts come from a hypothesis settings profile chosen by the environment variable
ORV_HYPOTHESIS_PROFILE:

- ``ci`` (the default): a small run sized for CI, where the file also runs under the
  sanitizer build;
- ``long``: thousands of examples and longer step sequences for a soak run, e.g.
  ``ORV_HYPOTHESIS_PROFILE=long .venv/bin/python -m pytest tests/test_properties.py``.

A failure prints the shrunk sequence of calls and a ``@reproduce_failure`` blob.
``--hypothesis-show-statistics`` shows how often each kind of frame and call came up.
"""

import json
import math
import os
import re
from collections import namedtuple

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import event as tally
from hypothesis import strategies as st
from hypothesis.stateful import (
    Bundle,
    RuleBasedStateMachine,
    initialize,
    invariant,
    multiple,
    rule,
)

from orv_engine import (
    NEGATIVE,
    NEUTRAL,
    POSITIVE,
    Charge,
    ChargePolarity,
    Environment,
    NarrativeSequencer,
)

# ---------------------------------------------------------------------------------------------
# Settings profiles

# too_slow: one example is a whole sequence of engine calls with a full model check after
# each, so generation time is dominated by the checks, not by the data.
# filter_too_much: the text strategies filter random bytes into valid and invalid UTF-8.
_SUPPRESSED = [HealthCheck.too_slow, HealthCheck.filter_too_much]

settings.register_profile(
    "ci",
    max_examples=60,
    stateful_step_count=40,
    deadline=None,
    print_blob=True,
    derandomize=False,
    suppress_health_check=_SUPPRESSED,
)
settings.register_profile(
    "long",
    parent=settings.get_profile("ci"),
    max_examples=5000,
    stateful_step_count=80,
)
PROFILE = settings.get_profile(os.environ.get("ORV_HYPOTHESIS_PROFILE", "ci"))

# ---------------------------------------------------------------------------------------------
# The engine's fixed vocabulary

AGENT_METHODS = {
    "add_plus_magician": ("Plus Magician", 10),
    "add_minus_magician": ("Minus Magician", 10),
    "add_multiply_magician": ("Multiply Magician", 50),
    "add_divide_magician": ("Divide Magician", 50),
    "add_power_sorcerer": ("Power Sorcerer", 75),
    "add_root_magician": ("The Extractor", 75),
    "add_abs_magician": ("The Purifier", 90),
    "add_factorial_magician": ("The Replicator", 85),
    "add_modulo_magician": ("The Scavenger", 50),
    "add_log_magician": ("The Architect", 90),
    "add_chronomancer": ("Chronomancer", 100),
    "add_equals_gate": ("Equals Gate", 0),
    "add_inequality_gate": ("The Judge", 0),
}
PRIORITY = dict(AGENT_METHODS.values())
GATES = {"Equals Gate", "The Judge"}
POLARITY_TEXT = {0: "positive", 1: "negative"}  # every other value is written "neutral"

ZONE_KEYS = {"agents", "charges", "id", "is_time_frozen", "sub_environments"}
CHARGE_KEYS = {"magnitude", "polarity", "visual_id"}
AGENT_KEYS = {"name", "priority", "state", "visual_id"}
EVENT_KEYS = {"agent_name", "description", "type", "visual_id"}
META_KEYS = {"frame_index", "last_event", "message", "status"}

BUDGET = 1000
END_EVENT = {"agent_name": "System", "description": "Equation Resolved.", "type": "FINISHED",
             "visual_id": "N/A"}
MSG_ENDED = "Equation Resolved."
MSG_IDLE = "Simulation complete. No further actions."
MSG_BUDGET = "Max frame limit reached. Infinite loop detected."
JSON_UTF8_ERROR = "[json.exception.type_error.316]"

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1

# ---------------------------------------------------------------------------------------------
# Strategies

INVALID_UTF8 = [b"\xff", b"\xc3", b"\x80", b"zone\xfe", b"\xc0\x80", b"\xed\xa0\x80",
                b"\xf4\x90\x80\x80", b"ok\xe2\x82"]


def as_bytes(text):
    return text.encode("utf-8") if isinstance(text, str) else bytes(text)


def is_utf8(raw):
    try:
        raw.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


valid_texts = st.one_of(
    st.sampled_from(["", "core", "inner", "é", "区域", "🜁", "a\x00b", 'q"\\\n\t']),
    st.text(max_size=6),
    st.text(max_size=6).map(str.encode),
    st.text(max_size=4).map(lambda s: bytearray(s.encode())),
)
invalid_texts = st.one_of(
    st.sampled_from(INVALID_UTF8),
    st.sampled_from(INVALID_UTF8).map(bytearray),
    st.binary(min_size=1, max_size=4).filter(lambda b: not is_utf8(b)),
)


@st.composite
def any_texts(draw):
    """Mostly valid text; about one in 24 is bytes that are not valid UTF-8 (any such
    text makes every document of its tree unreadable, so it must stay the exception)."""
    if draw(st.integers(0, 23)) == 23:
        return draw(invalid_texts)
    return draw(valid_texts)


EDGE_FLOATS = [0.0, -0.0, 1.0, -1.0, 2.0, 3.0, 0.5, 10.0, 171.0, 1e-9, -1e-9, 5e-10,
               5e-324, -5e-324, 2.2250738585072014e-308, 1e-300, 1e300, -1e300,
               1.7976931348623157e308, math.inf, -math.inf, math.nan]
magnitudes = st.one_of(
    st.integers(-12, 12),
    st.sampled_from(EDGE_FLOATS),
    st.floats(allow_nan=True, allow_infinity=True),
    st.floats(min_value=-1e3, max_value=1e3),
    st.integers(-(2**53), 2**53),
)
polarities = st.one_of(
    st.sampled_from([POSITIVE, NEGATIVE, NEUTRAL]),
    st.integers(-3, 5).map(ChargePolarity),
    st.integers(INT32_MIN, INT32_MAX).map(ChargePolarity),
)
comparison_texts = st.one_of(
    st.sampled_from(["<", ">", "<=", ">=", "=>", "=<", "==", " <", "<<", ">>", "", "<>", ">==",
                     "≥"]),
    any_texts(),
)
bool_values = st.sampled_from([True, False, None, 0, 1, 2])
frame_values = st.one_of(
    st.sampled_from([0, 1, 998, 999, 1000, 1001, -1, INT32_MAX, INT32_MIN]),
    st.integers(INT32_MIN, INT32_MAX),
)
bad_frame_values = st.one_of(
    st.sampled_from([2**31, -(2**31) - 1, 2**63, -(10**30)]),
    st.floats(allow_nan=True),
    st.just("5"),
)


def rule_text(comparison):
    raw = as_bytes(comparison)
    if len(raw) == 1:
        return ">" if raw == b">" else "<"
    if len(raw) == 2:
        return {b"<=": "<=", b">=": ">="}.get(raw, "<")
    return "<"


# ---------------------------------------------------------------------------------------------
# Strict JSON reading and shape checks


class JsonInt(int):
    """An integer that was written without a decimal point or exponent."""


_STRING = re.compile(r'"(?:[^"\\]|\\.)*"')


def _sorted_object(pairs):
    keys = [key for key, _ in pairs]
    assert len(set(keys)) == len(keys), f"duplicate keys {keys}"
    assert keys == sorted(keys, key=lambda k: k.encode("utf-8")), f"keys out of order: {keys}"
    return dict(pairs)


def _not_json(name):
    raise AssertionError(f"the engine wrote {name}, which is not JSON")


def parse(text):
    assert isinstance(text, str), type(text)
    outside_strings = _STRING.sub('""', text)
    assert not any(ch.isspace() for ch in outside_strings), f"not compact: {text!r}"
    return json.loads(text, object_pairs_hook=_sorted_object, parse_int=JsonInt,
                      parse_constant=_not_json)


def is_float_or_null(value):
    return value is None or type(value) is float


def check_charge_shape(charge):
    assert type(charge) is dict and set(charge) == CHARGE_KEYS, charge
    assert is_float_or_null(charge["magnitude"]), charge
    assert charge["polarity"] in ("positive", "negative", "neutral"), charge
    assert type(charge["visual_id"]) is str, charge


def check_agent_shape(agent):
    assert type(agent) is dict, agent
    name = agent.get("name")
    assert name in PRIORITY, agent
    keys = set(AGENT_KEYS)
    if name in GATES:
        keys |= {"is_open", "target_value"}
    if name == "The Judge":
        keys.add("rule")
    assert set(agent) == keys, agent
    assert type(agent["priority"]) is JsonInt and agent["priority"] == PRIORITY[name], agent
    assert agent["state"] in ("dormant", "active", "frozen"), agent
    assert type(agent["visual_id"]) is str, agent
    if name in GATES:
        assert type(agent["is_open"]) is bool, agent
        assert is_float_or_null(agent["target_value"]), agent
    if name == "The Judge":
        assert agent["rule"] in ("<", ">", "<=", ">="), agent


def check_zone_shape(zone, extra_keys=frozenset()):
    pending = [(zone, extra_keys)]
    while pending:
        current, extra = pending.pop()
        assert type(current) is dict and set(current) == ZONE_KEYS | extra, current.keys()
        assert type(current["id"]) is str
        assert type(current["is_time_frozen"]) is bool
        for key in ("agents", "charges", "sub_environments"):
            assert type(current[key]) is list, current
        for charge in current["charges"]:
            check_charge_shape(charge)
        for agent in current["agents"]:
            check_agent_shape(agent)
        if not current["sub_environments"]:
            assert current["is_time_frozen"] is False, "a zone without sub-zones is never frozen"
        pending.extend((sub, frozenset()) for sub in current["sub_environments"])


def check_event_shape(event):
    assert type(event) is dict and set(event) == EVENT_KEYS, event
    assert all(type(value) is str for value in event.values()), event
    assert event["type"] in ("CAST_SPELL", "COLLAPSE_ZONE", "FINISHED"), event


def check_frame_shape(frame):
    check_zone_shape(frame, frozenset({"meta"}))
    meta = frame["meta"]
    assert type(meta) is dict and set(meta) == META_KEYS, meta
    assert type(meta["frame_index"]) is JsonInt, meta
    assert type(meta["message"]) is str, meta
    assert meta["status"] in ("RUNNING", "FINISHED", "ERROR"), meta
    if meta["last_event"] is not None:
        check_event_shape(meta["last_event"])


def without_meta(frame):
    return {key: value for key, value in frame.items() if key != "meta"}


def count_charges(zone_json):
    total, pending = 0, [zone_json]
    while pending:
        current = pending.pop()
        total += len(current["charges"])
        pending.extend(current["sub_environments"])
    return total


METHOD_OF = {name: method for method, (name, _) in AGENT_METHODS.items()}
POLARITY_OF = {"positive": POSITIVE, "negative": NEGATIVE, "neutral": NEUTRAL}


def fresh_copy(document):
    """A new tree holding what a zone document shows; its texts have never been written."""
    zone = Environment(document["id"])
    for charge in document["charges"]:
        magnitude = math.nan if charge["magnitude"] is None else charge["magnitude"]
        zone.add_charge(magnitude, POLARITY_OF[charge["polarity"]], charge["visual_id"])
    for agent in document["agents"]:
        target = agent.get("target_value", 0.0)
        gate_args = [math.nan if target is None else target, agent.get("rule", "<")]
        count = {"Equals Gate": 1, "The Judge": 2}.get(agent["name"], 0)
        getattr(zone, METHOD_OF[agent["name"]])(agent["visual_id"], *gate_args[:count])
    for sub in document["sub_environments"]:
        zone.add_sub_environment(fresh_copy(sub))
    zone.is_time_frozen = document["is_time_frozen"]
    return zone


def assert_utf8_error(exc):
    assert JSON_UTF8_ERROR in str(exc), f"unexpected RuntimeError: {exc}"


def json_state(obj):
    """The to_json text of an engine object, or the text of the UTF-8 error it raised."""
    try:
        return ("ok", obj.to_json())
    except RuntimeError as exc:
        assert_utf8_error(exc)
        return ("error", str(exc))


# ---------------------------------------------------------------------------------------------
# Charges as plain values: (magnitude as float.hex, polarity value, raw visual_id bytes)

ChargeKey = namedtuple("ChargeKey", "mag pol vid")


def read_text(getter):
    """Raw bytes of a text attribute: invalid UTF-8 must raise UnicodeDecodeError on read."""
    try:
        value = getter()
    except UnicodeDecodeError as exc:
        raw = bytes(exc.object)
        assert not is_utf8(raw)
        return raw
    assert type(value) is str
    return value.encode("utf-8")


def key_of(charge):
    return ChargeKey(float(charge.magnitude).hex(), int(charge.polarity),
                     read_text(lambda: charge.visual_id))


def key_from_values(magnitude, polarity, text):
    return ChargeKey(float(magnitude).hex(), int(polarity), as_bytes(text))


def mag(key):
    return float.fromhex(key.mag)


def same_float(a, b):
    return (math.isnan(a) and math.isnan(b)) or a.hex() == b.hex()


def json_matches_key(charge_json, key):
    value = mag(key)
    if math.isfinite(value):
        if not (type(charge_json["magnitude"]) is float
                and charge_json["magnitude"].hex() == value.hex()):
            return False
    elif charge_json["magnitude"] is not None:
        return False
    return (charge_json["polarity"] == POLARITY_TEXT.get(key.pol, "neutral")
            and charge_json["visual_id"].encode("utf-8") == key.vid)


def signed(key):
    return mag(key) if key.pol == 0 else -mag(key)


def zone_total(keys):
    total = 0.0
    for key in keys:
        total += signed(key)
    return total


def is_stale(item):
    try:
        item.magnitude
    except ReferenceError:
        return True
    return False


# ---------------------------------------------------------------------------------------------
# Agents as plain values

Placed = namedtuple("Placed", "name vid target rule")  # target: float.hex, "?" or None
UNKNOWN_TARGET = "?"


def placed_matches(placed, agent_json):
    if placed.name != agent_json["name"] or placed.vid != agent_json["visual_id"].encode("utf-8"):
        return False
    if placed.name not in GATES:
        return True
    if placed.rule != agent_json.get("rule"):
        return False
    if placed.target == UNKNOWN_TARGET:
        return agent_json["target_value"] is None
    target = float.fromhex(placed.target)
    if not math.isfinite(target):
        return agent_json["target_value"] is None
    observed = agent_json["target_value"]
    return observed is not None and observed.hex() == target.hex()


def placed_from_json(agent_json):
    target = rule = None
    if agent_json["name"] in GATES:
        observed = agent_json["target_value"]
        target = UNKNOWN_TARGET if observed is None else observed.hex()
        rule = agent_json.get("rule")
    return Placed(agent_json["name"], agent_json["visual_id"].encode("utf-8"), target, rule)


def gate_holds(placed, keys):
    """Whether a gate opens on this charge list (None when its target is not known)."""
    if not keys:
        return False
    if placed.target == UNKNOWN_TARGET:
        return None
    total, target = zone_total(keys), float.fromhex(placed.target)
    if placed.name == "Equals Gate":
        return abs(total - target) < 1e-6
    return {"<": total < target, ">": total > target, "<=": total <= target,
            ">=": total >= target}[placed.rule]


def surely_casts(placed, keys):
    """Agents that, by their documented rules, cannot decline on this charge list."""
    n, name = len(keys), placed.name
    if name in ("Plus Magician", "Minus Magician", "Multiply Magician", "Power Sorcerer"):
        return n >= 2
    if name == "Divide Magician":
        return n >= 2 and all(abs(mag(key)) >= 1e-9 for key in keys[1:])
    if name == "The Scavenger":
        return n >= 2 and abs(mag(keys[-1])) >= 1e-9
    if name == "The Purifier":
        return n >= 1
    if name == "The Replicator":
        return n >= 1 and keys[-1].pol != 1 and not math.isnan(mag(keys[-1]))
    if name in GATES:
        return gate_holds(placed, keys) is True
    return False  # Root and Log have subtle refusals; the Chronomancer never casts


def _factorial(value):
    if math.isnan(value):
        return None
    n = math.floor(value) if math.isfinite(value) else (1 if value > 0 else -1) * 10**9
    if n <= 0:
        return 1.0
    if n >= 171:
        return math.inf
    product = 1.0
    for factor in range(1, n + 1):
        product *= factor
    return product


def cast_is_consistent(placed, before, after):
    """Whether this agent casting could have turned the charge list `before` into `after`."""
    n0, n1, name = len(before), len(after), placed.name

    def result(prefix, keep):
        return (n1 == keep + 1 and after[:keep] == before[:keep]
                and after[-1].vid == prefix + placed.vid)

    if name in ("Plus Magician", "Minus Magician"):
        if n0 < 2 or not result(b"result_", 0):
            return False
        if name == "Plus Magician":
            value = zone_total(before)
        else:
            value = signed(before[0])
            for key in before[1:]:
                value -= signed(key)
        return after[0].pol == (0 if value >= 0 else 1) and same_float(mag(after[0]), abs(value))
    if name in ("Multiply Magician", "Divide Magician"):
        prefix = b"result_product_" if name == "Multiply Magician" else b"result_quotient_"
        if n0 < 2 or not result(prefix, 0):
            return False
        value = mag(before[0])
        for key in before[1:]:
            if name == "Multiply Magician":
                value *= mag(key)
            elif abs(mag(key)) < 1e-9:
                return False
            else:
                value /= mag(key)
        negatives = sum(1 for key in before if key.pol == 1)
        polarity = 2 if abs(value) < 1e-9 else (1 if negatives % 2 else 0)
        return after[0].pol == polarity and same_float(mag(after[0]), value)
    if name == "The Scavenger":
        if n0 < 2 or abs(mag(before[-1])) < 1e-9 or not result(b"result_remainder_", n0 - 2):
            return False
        try:
            value = math.fmod(mag(before[-2]), mag(before[-1]))
        except ValueError:
            value = math.nan
        return after[-1].pol == 0 and same_float(mag(after[-1]), value)
    if name == "Power Sorcerer":
        if n0 < 2 or not result(b"result_power_", n0 - 2):
            return False
        value = mag(after[-1])
        neutral = math.isnan(value) or value == 0
        return (math.isnan(value) or value >= 0) and (after[-1].pol == 2) == neutral and (
            after[-1].pol in (0, 1, 2))
    if name in ("The Extractor", "The Architect"):
        prefix = b"result_root_" if name == "The Extractor" else b"result_log_"
        if n0 == 0 or not result(prefix, 0 if n0 == 1 else n0 - 2):
            return False
        if name == "The Extractor":
            return after[-1].pol == 0 and (n0 >= 2 or before[0].pol != 1)
        value = mag(after[-1])
        return after[-1].pol in (0, 1) and (math.isnan(value) or value >= 0)
    if name == "The Replicator":
        if n0 == 0 or before[-1].pol == 1 or not result(b"result_factorial_", n0 - 1):
            return False
        expected = _factorial(mag(before[-1]))
        return expected is not None and after[-1].pol == 0 and same_float(mag(after[-1]),
                                                                          expected)
    if name == "The Purifier":
        if n0 == 0 or n1 != n0:
            return False
        for old, new in zip(before, after):
            if old.pol == 1:
                if new != ChargeKey(old.mag, 0, b"purified_" + old.vid):
                    return False
            elif new != old:
                return False
        return True
    if name in GATES:
        return after == before and gate_holds(placed, before) is not False
    return False  # the Chronomancer never casts


def tri_or(*values):
    if any(value is True for value in values):
        return True
    if all(value is False for value in values):
        return False
    return None


# ---------------------------------------------------------------------------------------------
# The model


class ZoneModel:
    def __init__(self, serial, obj, text):
        self.serial = serial
        self.obj = obj
        self.id_bytes = as_bytes(text)
        self.children = []  # in the order the engine lists its sub-zones
        self.agent_options = {()}  # the agent lists the zone may hold, or None when unknown
        self.agent_count = 0
        self.generation = 0  # bumped whenever the engine's charge list of the zone changes
        self.frozen = False

    def __repr__(self):
        return f"zone{self.serial}"


class ItemRef:
    def __init__(self, zone, index, item):
        self.zone, self.index, self.item = zone, index, item
        self.generation = zone.generation

    @property
    def stale(self):
        return self.generation != self.zone.generation

    def __repr__(self):
        return f"item({self.zone!r}[{self.index}])"


class SequencerModel:
    def __init__(self, serial, obj, root):
        self.serial, self.obj, self.root = serial, obj, root
        self.current_frame = 0
        self.is_finished = False

    def __repr__(self):
        return f"sequencer{self.serial}-on-{self.root!r}"


OPTIONS_CAP = 512
TREE_SIZE_CAP = 80  # zones counted at every place, below any zone: keeps documents small


def reachable(root):
    seen, order, pending = set(), [], [root]
    while pending:
        zone = pending.pop()
        if id(zone) in seen:
            continue
        seen.add(id(zone))
        order.append(zone)
        pending.extend(reversed(zone.children))
    return order


def reaches(start, target):
    return any(zone is target for zone in reachable(start))


def expanded_size(zone, memo):
    if zone not in memo:
        memo[zone] = 1 + sum(expanded_size(child, memo) for child in zone.children)
    return memo[zone]


def model_total(zone, counts, memo):
    if zone not in memo:
        memo[zone] = counts[zone] + sum(model_total(c, counts, memo) for c in zone.children)
    return memo[zone]


def places(root, target, memo):
    """How many times `target` appears in the tree below and including `root`."""
    if root not in memo:
        memo[root] = (1 if root is target else 0) + sum(places(c, target, memo)
                                                        for c in root.children)
    return memo[root]


def find_collapse(zone, counts, memo):
    """The (parent, child) that a collapse check on `zone` merges, or None."""
    if zone in memo:
        return memo[zone]
    found = None
    for child in zone.children:
        found = find_collapse(child, counts, memo)
        if found:
            break
        if child.agent_count == 0 and counts[child] == 1:
            found = (zone, child)
            break
    memo[zone] = found
    return found


def agent_taint(zone, options):
    if options is None:
        return None
    flags = {any(not is_utf8(placed.vid) for placed in option) for option in options}
    return flags.pop() if len(flags) == 1 else None


def tree_taint(root, override=None):
    """True/False/None (unknown): does the tree below `root` hold text that is not UTF-8?"""
    override = override or {}
    memo = {}

    def visit(zone):
        if zone not in memo:
            own = (not is_utf8(zone.id_bytes)
                   or any(not is_utf8(key.vid) for key in map(key_of, zone.obj.charges)))
            options = override.get(zone, zone.agent_options)
            memo[zone] = tri_or(own, agent_taint(zone, options),
                                *(visit(child) for child in zone.children))
        return memo[zone]

    return visit(root)


def printable_id(zone):
    if not is_utf8(zone.id_bytes):
        return None
    text = zone.id_bytes.decode()
    return text if text.isprintable() and '"' not in text and "\\" not in text else None


# ---------------------------------------------------------------------------------------------
# The state machine


class LevelMachine(RuleBasedStateMachine):
    zones = Bundle("zones")
    sequencers = Bundle("sequencers")
    items = Bundle("items")

    def __init__(self):
        super().__init__()
        self.all_zones = []
        self.all_sequencers = []
        self.item_refs = []
        # Every run starts from a small level: "root" holding "inner", with a sequencer on
        # "root"; the initialisers fill the two zones and hand them to the bundles.
        self.root = self._new_zone("root", False)
        self.inner = self._new_zone("inner", True)
        self.root.obj.add_sub_environment(self.inner.obj)
        self.root.children.append(self.inner)

    # -- zones --------------------------------------------------------------------------------

    def _new_zone(self, text, by_keyword):
        obj = Environment(id=text) if by_keyword else Environment(text)
        zone = ZoneModel(len(self.all_zones), obj, text)
        self.all_zones.append(zone)
        assert obj.charges == [] and obj.is_time_frozen is False
        return zone

    def _fill(self, zone, data, charges, agents):
        for magnitude, polarity, text in data.draw(st.lists(
                st.tuples(magnitudes, polarities, any_texts()), min_size=charges[0],
                max_size=charges[1]), label=f"charges of {zone!r}"):
            self.add_charge(zone, magnitude, polarity, text, False)
        for method, text, goal, comparison in data.draw(st.lists(st.tuples(
                st.sampled_from(sorted(AGENT_METHODS)), any_texts(), magnitudes,
                comparison_texts), min_size=agents[0], max_size=agents[1]),
                label=f"agents of {zone!r}"):
            self.place_agent(zone, method, text, goal, comparison, False)

    @initialize(target=zones, data=st.data())
    def first_level(self, data):
        self._fill(self.inner, data, (2, 4), (1, 2))
        self._fill(self.root, data, (0, 2), (0, 2))
        return multiple(self.root, self.inner)

    @initialize(target=sequencers)
    def first_sequencer(self):
        return self.new_sequencer(self.root, False)

    @rule(target=zones, text=any_texts(), by_keyword=st.booleans())
    def new_zone(self, text, by_keyword):
        return self._new_zone(text, by_keyword)

    @rule(target=zones, parent=zones, text=any_texts(), data=st.data())
    def grow_level(self, parent, text, data):
        """A new zone with a few charges and agents, below an existing zone: the usual way a
        level gets work for the sequencer to do."""
        zone = self._new_zone(text, False)
        self._fill(zone, data, (1, 3), (0, 2))
        self.add_sub_environment(parent, zone, False)
        return zone

    @rule(parent=zones, child=zones, by_keyword=st.booleans())
    def add_sub_environment(self, parent, child, by_keyword):
        def add():
            if by_keyword:
                parent.obj.add_sub_environment(sub_env=child.obj)
            else:
                parent.obj.add_sub_environment(child.obj)

        if child is parent or reaches(child, parent):
            tally("cycle refused")
            before = [json_state(parent.obj), json_state(child.obj)]
            with pytest.raises(ValueError) as info:
                add()
            assert [json_state(parent.obj), json_state(child.obj)] == before
            names = (printable_id(child), printable_id(parent))
            if None not in names:
                for name in names:
                    assert f'"{name}"' in str(info.value), str(info.value)
            return
        parent.children.append(child)
        memo = {}
        if max(expanded_size(zone, memo) for zone in self.all_zones) > TREE_SIZE_CAP:
            parent.children.pop()  # keep documents small; the call is not made
            return
        add()

    @rule(zone=zones, text=any_texts())
    def write_id(self, zone, text):
        zone.obj.id = text
        zone.id_bytes = as_bytes(text)

    @rule(zone=zones, value=bool_values)
    def write_is_time_frozen(self, zone, value):
        zone.obj.is_time_frozen = value
        zone.frozen = bool(value)

    # -- charges ------------------------------------------------------------------------------

    @rule(zone=zones, magnitude=magnitudes, polarity=polarities, text=any_texts(),
          by_keyword=st.booleans())
    def add_charge(self, zone, magnitude, polarity, text, by_keyword):
        before = [key_of(c) for c in zone.obj.charges]
        if by_keyword:
            zone.obj.add_charge(magnitude=magnitude, polarity=polarity, visual_id=text)
        else:
            zone.obj.add_charge(magnitude, polarity, text)
        zone.generation += 1
        after = [key_of(c) for c in zone.obj.charges]
        assert after == before + [key_from_values(magnitude, polarity, text)]

    @rule(target=items, zone=zones, data=st.data())
    def read_item(self, zone, data):
        charges = zone.obj.charges
        if not charges:
            return multiple()
        index = data.draw(st.integers(0, len(charges) - 1), label="index")
        ref = ItemRef(zone, index, charges[index])
        self.item_refs.append(ref)
        return ref

    @rule(ref=items, action=st.sampled_from(["magnitude", "polarity", "visual_id", "to_json",
                                             "set_magnitude", "set_polarity", "set_visual_id",
                                             "set_polarity_int"]),
          magnitude=magnitudes, polarity=polarities, text=any_texts())
    def use_item(self, ref, action, magnitude, polarity, text):
        item = ref.item
        uses = {
            "magnitude": lambda: item.magnitude,
            "polarity": lambda: item.polarity,
            "visual_id": lambda: item.visual_id,
            "to_json": lambda: item.to_json(),
            "set_magnitude": lambda: setattr(item, "magnitude", magnitude),
            "set_polarity": lambda: setattr(item, "polarity", polarity),
            "set_visual_id": lambda: setattr(item, "visual_id", text),
            "set_polarity_int": lambda: setattr(item, "polarity", 1),
        }
        before = [key_of(c) for c in ref.zone.obj.charges]
        tally("stale item used" if ref.stale else "fresh item used")
        if ref.stale:
            # A plain integer for a polarity is refused while the value is converted, which
            # may come before the item is looked at.
            errors = (ReferenceError, TypeError) if action == "set_polarity_int" else ReferenceError
            with pytest.raises(errors):
                uses[action]()
            assert [key_of(c) for c in ref.zone.obj.charges] == before
            return
        current = before[ref.index]
        expected = list(before)
        if action == "magnitude":
            assert same_float(item.magnitude, mag(current))
        elif action == "polarity":
            assert int(item.polarity) == current.pol
        elif action == "visual_id":
            assert read_text(lambda: item.visual_id) == current.vid
        elif action == "to_json":
            if is_utf8(current.vid):
                charge = parse(item.to_json())
                check_charge_shape(charge)
                assert json_matches_key(charge, current)
            else:
                with pytest.raises(RuntimeError) as info:
                    item.to_json()
                assert_utf8_error(info.value)
        elif action == "set_polarity_int":
            with pytest.raises(TypeError):
                uses[action]()
        else:
            uses[action]()
            expected[ref.index] = {
                "set_magnitude": current._replace(mag=float(magnitude).hex()),
                "set_polarity": current._replace(pol=int(polarity)),
                "set_visual_id": current._replace(vid=as_bytes(text)),
            }[action]
        # An in-place edit is no change of the list: this item and every other stays usable.
        assert [key_of(c) for c in ref.zone.obj.charges] == expected
        assert not is_stale(item)

    @rule(zone=zones, data=st.data(), container=st.sampled_from(["list", "tuple", "generator"]))
    def write_charges(self, zone, data, container):
        elements = data.draw(st.lists(st.one_of(
            st.tuples(st.just("new"), magnitudes, polarities, any_texts()),
            st.tuples(st.just("item"), st.integers(0, 10**6)),
            st.tuples(st.just("bad"), st.sampled_from([None, 5, "c"])),
        ), max_size=4), label="elements")
        given, expected, fresh_charges = [], [], []
        has_bad = has_stale = False
        for element in elements:
            if element[0] == "new":
                _, magnitude, polarity, text = element
                charge = Charge(magnitude, polarity, text)
                fresh_charges.append(charge)
                given.append(charge)
                expected.append(key_from_values(magnitude, polarity, text))
            elif element[0] == "item" and self.item_refs:
                ref = self.item_refs[element[1] % len(self.item_refs)]
                given.append(ref.item)
                if ref.stale:
                    has_stale = True
                else:
                    expected.append(key_of(ref.item))
            elif element[0] == "bad":
                given.append(element[1])
                has_bad = True
        value = {"list": lambda: list(given), "tuple": lambda: tuple(given),
                 "generator": lambda: (x for x in given)}[container]()
        before = [key_of(c) for c in zone.obj.charges]
        probe = zone.obj.charges[0] if before else None
        if has_bad or has_stale:
            errors = (TypeError,) * has_bad + (ReferenceError,) * has_stale
            with pytest.raises(errors):
                zone.obj.charges = value
            assert [key_of(c) for c in zone.obj.charges] == before
            assert probe is None or not is_stale(probe), "a refused write changed the list"
            return
        zone.obj.charges = value
        zone.generation += 1
        assert [key_of(c) for c in zone.obj.charges] == expected
        for charge in fresh_charges:  # the zone holds copies
            charge.magnitude = 12345.0
            charge.visual_id = "changed"
        assert [key_of(c) for c in zone.obj.charges] == expected

    # -- agents -------------------------------------------------------------------------------

    @rule(zone=zones, method=st.sampled_from(sorted(AGENT_METHODS)), text=any_texts(),
          goal=magnitudes, comparison=comparison_texts, by_keyword=st.booleans())
    def place_agent(self, zone, method, text, goal, comparison, by_keyword):
        name, _ = AGENT_METHODS[method]
        add = getattr(zone.obj, method)
        kwargs = {"visual_id": text}
        if name in GATES:
            kwargs["target"] = goal
        if name == "The Judge":
            kwargs["comparison_type"] = comparison
        if by_keyword:
            add(**kwargs)
        else:
            add(*kwargs.values())
        placed = Placed(name, as_bytes(text),
                        float(goal).hex() if name in GATES else None,
                        rule_text(comparison) if name == "The Judge" else None)
        if zone.agent_options is not None:
            zone.agent_options = {option + (placed,) for option in zone.agent_options}
        zone.agent_count += 1

    # -- sequencers ---------------------------------------------------------------------------

    @rule(target=sequencers, root=zones, by_keyword=st.booleans())
    def new_sequencer(self, root, by_keyword):
        obj = NarrativeSequencer(env=root.obj) if by_keyword else NarrativeSequencer(root.obj)
        assert obj.current_frame == 0 and obj.is_finished is False
        sequencer = SequencerModel(len(self.all_sequencers), obj, root)
        self.all_sequencers.append(sequencer)
        return sequencer

    @rule(sequencer=sequencers)
    def replace_sequencer(self, sequencer):
        """Drop the sequencer, releasing its share of the tree, and build a new one on the
        same zone in its place."""
        sequencer.obj = None
        sequencer.obj = NarrativeSequencer(sequencer.root.obj)
        sequencer.current_frame, sequencer.is_finished = 0, False

    @rule(sequencer=sequencers, value=frame_values)
    def write_current_frame(self, sequencer, value):
        sequencer.obj.current_frame = value
        sequencer.current_frame = value

    @rule(sequencer=sequencers, value=bool_values)
    def write_is_finished(self, sequencer, value):
        sequencer.obj.is_finished = value
        sequencer.is_finished = bool(value)

    @rule(sequencer=sequencers)
    def next_frame(self, sequencer):
        self._step(sequencer)

    @rule()
    def next_frame_everywhere(self):
        for sequencer in self.all_sequencers:
            self._step(sequencer)
            self.check_model()

    @rule(sequencer=sequencers, limit=st.integers(1, 30), reopen=st.booleans())
    def run(self, sequencer, limit, reopen):
        """Up to `limit` frames, stopping after the first finished one; with `reopen`, a
        finished sequencer is first told to go on (as a game does after adding work)."""
        if reopen:
            self.write_is_finished(sequencer, False)
        for _ in range(limit):
            finished_before = sequencer.is_finished
            self._step(sequencer)
            self.check_model()
            if finished_before:
                break

    # -- calls that must be refused and change nothing ---------------------------------------

    @rule(zone=zones, call=st.sampled_from([
        "add_sub_environment(None)", "add_sub_environment(5)", "id = 5", "id = 2.5",
        "is_time_frozen = 'yes'", "add_charge polarity 1", "add_charge polarity None",
        "add_charge magnitude 'x'", "agent visual_id 17", "ChargePolarity(2**31)",
        "ChargePolarity(-2**31 - 1)", "NarrativeSequencer(None)", "NarrativeSequencer(3)",
        "NarrativeSequencer(Charge)"]), method=st.sampled_from(sorted(AGENT_METHODS)))
    def refused_zone_call(self, zone, call, method):
        obj = zone.obj
        calls = {
            "add_sub_environment(None)": lambda: obj.add_sub_environment(None),
            "add_sub_environment(5)": lambda: obj.add_sub_environment(sub_env=5),
            "id = 5": lambda: setattr(obj, "id", 5),
            "id = 2.5": lambda: setattr(obj, "id", 2.5),
            "is_time_frozen = 'yes'": lambda: setattr(obj, "is_time_frozen", "yes"),
            "add_charge polarity 1": lambda: obj.add_charge(1.0, 1, "x"),
            "add_charge polarity None": lambda: obj.add_charge(1.0, None, "x"),
            "add_charge magnitude 'x'": lambda: obj.add_charge("x", POSITIVE, "x"),
            "agent visual_id 17": lambda: getattr(obj, method)(17),
            "ChargePolarity(2**31)": lambda: ChargePolarity(2**31),
            "ChargePolarity(-2**31 - 1)": lambda: ChargePolarity(-(2**31) - 1),
            "NarrativeSequencer(None)": lambda: NarrativeSequencer(None),
            "NarrativeSequencer(3)": lambda: NarrativeSequencer(env=3),
            "NarrativeSequencer(Charge)": lambda: NarrativeSequencer(Charge(1, POSITIVE, "c")),
        }
        before = json_state(obj)
        probe = obj.charges[0] if obj.charges else None
        with pytest.raises(TypeError):
            calls[call]()
        assert json_state(obj) == before
        assert probe is None or not is_stale(probe)

    @rule(sequencer=sequencers, value=st.one_of(bad_frame_values, st.just("flag")))
    def refused_sequencer_write(self, sequencer, value):
        with pytest.raises(TypeError):
            if value == "flag":
                sequencer.obj.is_finished = "no"
            else:
                sequencer.obj.current_frame = value

    # -- one frame, checked against the model -------------------------------------------------

    def _step(self, sequencer):
        root = sequencer.root
        tree = reachable(root)
        before = {zone: [key_of(c) for c in zone.obj.charges] for zone in tree}
        counts0 = {zone: len(keys) for zone, keys in before.items()}
        probes = {zone: zone.obj.charges[0] for zone in tree if counts0[zone]}
        frozen_now = {zone: any(child.agent_count or counts0[child] > 1
                                for child in zone.children) for zone in tree}
        predicted = find_collapse(root, counts0, {})
        total0 = model_total(root, counts0, {})
        state0 = json_state(root.obj)
        cf0, fin0 = sequencer.current_frame, sequencer.is_finished
        sure = [(PRIORITY[placed.name], zone, placed) for zone in tree if not frozen_now[zone]
                and zone.agent_options is not None and len(zone.agent_options) == 1
                for placed in next(iter(zone.agent_options)) if surely_casts(placed, before[zone])]
        if state0[0] == "ok":
            assert count_charges(parse(state0[1])) == total0

        try:
            text = sequencer.obj.next_frame()
        except RuntimeError as exc:
            assert_utf8_error(exc)
            text = None
        frame = None
        if text is not None:
            frame = parse(text)
            check_frame_shape(frame)
        meta = frame["meta"] if frame else None
        tally("next_frame raised type_error.316" if text is None else "next_frame readable")

        if cf0 >= BUDGET or fin0:
            # Exhausted or finished: nothing may change.
            tally("frame: budget spent" if cf0 >= BUDGET else "frame: already finished")
            assert sequencer.obj.current_frame == cf0
            assert sequencer.obj.is_finished is True
            sequencer.is_finished = True
            assert all(len(zone.obj.charges) == counts0[zone] for zone in tree)
            assert not any(is_stale(probe) for probe in probes.values())
            assert (text is None) == (state0[0] == "error")
            if frame:
                assert without_meta(frame) == parse(state0[1])
                if cf0 >= BUDGET:
                    assert meta == {"frame_index": cf0, "last_event": None,
                                    "message": MSG_BUDGET, "status": "ERROR"}
                else:
                    assert meta == {"frame_index": cf0, "last_event": None,
                                    "message": MSG_IDLE, "status": "FINISHED"}
            assert json_state(root.obj) == state0
            return

        assert sequencer.obj.current_frame == cf0 + 1
        sequencer.current_frame = cf0 + 1
        for zone in tree:
            zone.frozen = frozen_now[zone]
        after = {zone: [key_of(c) for c in zone.obj.charges] for zone in tree}
        counts1 = {zone: len(keys) for zone, keys in after.items()}
        changed = {zone for zone in tree if counts1[zone] != counts0[zone]}
        stale = {zone for zone, probe in probes.items() if is_stale(probe)}
        event = meta["last_event"] if meta else None
        if meta:
            assert meta["frame_index"] == cf0 + 1

        if sequencer.obj.is_finished:  # the level ended
            tally("frame: level ended")
            sequencer.is_finished = True
            assert not changed and not stale, "the step that ended the level changed charges"
            assert predicted is None, f"the level ended while {predicted} could collapse"
            assert not sure, f"the level ended while {sure} could cast"
            expected_error = tree_taint(root)
            if meta:
                assert meta == {"frame_index": cf0 + 1, "last_event": END_EVENT,
                                "message": MSG_ENDED, "status": "FINISHED"}
        elif any(counts1[zone] == counts0[zone] + 1 for zone in tree):  # a zone collapsed
            tally("frame: collapse")
            assert predicted is not None, "a collapse happened where none was possible"
            parent, child = predicted
            assert changed == {parent}, f"collapse into {parent} but {changed} changed"
            assert stale <= {parent}
            assert parent not in probes or parent in stale
            assert after[parent] == before[parent] + before[child]
            assert after[child] == before[child]
            assert not sure, f"a zone collapsed while {sure} could cast"
            parent.children.remove(child)  # its first entry
            parent.generation += 1
            expected_error = tri_or(tree_taint(root), not is_utf8(child.id_bytes))
            if meta:
                child_id = child.id_bytes.decode()
                assert meta["status"] == "RUNNING"
                assert event == {"agent_name": "Chronomancer",
                                 "description": f"Zone {child_id} has resolved and merged.",
                                 "type": "COLLAPSE_ZONE", "visual_id": f"shield_{child_id}"}
                assert meta["message"] == event["description"]
        else:  # one agent cast
            tally("frame: spell")
            assert len(stale) == 1, f"no event can be told apart: stale items in {stale}"
            (zone,) = stale
            assert changed <= {zone}
            assert not frozen_now[zone], f"an agent of the frozen {zone} cast"
            assert zone.agent_count >= 1
            if meta:
                assert meta["status"] == "RUNNING" and event["type"] == "CAST_SPELL", meta
                assert meta["message"] == event["description"]
                assert (event["description"].encode()
                        == event["agent_name"].encode() + b" executed operation in "
                        + zone.id_bytes)
            self._settle_cast(sequencer, zone, before[zone], after[zone], event, text is None,
                              sure)
            expected_error = None  # checked against every possible caster above
            zone.agent_count -= 1
            zone.generation += 1
            delta = (counts1[zone] - counts0[zone]) * places(root, zone, {})
            assert model_total(root, counts1, {}) == total0 + delta

        if expected_error is not None:
            assert (text is None) == expected_error, (
                "next_frame raised" if text is None else "next_frame did not raise")
        if frame:
            assert count_charges(frame) == model_total(root, counts1, {})
            assert without_meta(frame) == parse(root.obj.to_json())

    def _settle_cast(self, sequencer, zone, before, after, event, raised, sure):
        """Find the agents of `zone` whose cast explains the step (the event, when the frame
        was readable; the charges before and after; whether the frame raised) and narrow the
        zone's possible agent lists to those left by one of them."""
        if zone.agent_options is None:
            return
        worlds = []
        for option in zone.agent_options:
            for index, placed in enumerate(option):
                if event is not None and (placed.name != event["agent_name"]
                                          or placed.vid != event["visual_id"].encode()):
                    continue
                if cast_is_consistent(placed, before, after):
                    worlds.append((option[:index] + option[index + 1:], placed))
        assert worlds, (f"no agent of {zone} explains the step: event {event}, charges "
                        f"{before} -> {after}, agents {zone.agent_options}")
        top = max(PRIORITY[placed.name] for _, placed in worlds)
        passed_over = [entry for entry in sure if entry[0] > top]
        assert not passed_over, f"{passed_over} outrank the caster and could cast"
        kept = set()
        for remaining, placed in worlds:
            # The frame holds the tree after the step and the event, which names the caster
            # and the zone.
            must_raise = tri_or(tree_taint(sequencer.root, {zone: {remaining}}),
                                not is_utf8(placed.vid), not is_utf8(zone.id_bytes))
            if must_raise is None or must_raise == raised:
                kept.add(remaining)
        assert kept, "next_frame raised" if raised else "next_frame did not raise"
        zone.agent_options = kept if len(kept) <= OPTIONS_CAP else None

    # -- the whole model, after every step ----------------------------------------------------

    @invariant()
    def check_model(self):
        documents = {}
        for zone in self.all_zones:
            assert read_text(lambda: zone.obj.id) == zone.id_bytes
            assert zone.obj.is_time_frozen is zone.frozen
            keys = [key_of(c) for c in zone.obj.charges]
            expected_error = tree_taint(zone)
            try:
                text = zone.obj.to_json()
            except RuntimeError as exc:
                assert_utf8_error(exc)
                assert expected_error is not False, f"{zone}.to_json() raised"
                continue
            assert expected_error is not True, f"{zone}.to_json() did not raise"
            document = parse(text)
            check_zone_shape(document)
            assert fresh_copy(document).to_json() == text  # reused text equals text written anew
            documents[zone] = document
            assert document["id"].encode() == zone.id_bytes
            assert len(document["charges"]) == len(keys)
            assert all(json_matches_key(c, k) for c, k in zip(document["charges"], keys))
            agents = document["agents"]
            assert len(agents) == zone.agent_count
            for agent in agents:
                assert agent["state"] == "dormant", agent
                if agent["name"] in GATES:
                    assert agent["is_open"] is False, agent
            if zone.agent_options is None:
                zone.agent_options = {tuple(placed_from_json(agent) for agent in agents)}
            else:
                matching = {option for option in zone.agent_options
                            if all(map(placed_matches, option, agents))}
                assert matching, f"{zone} lists {agents}, expected one of {zone.agent_options}"
                zone.agent_options = matching
            assert len(document["sub_environments"]) == len(zone.children)
            if zone.children:
                assert document["is_time_frozen"] is zone.frozen
        for zone, document in documents.items():
            for child, child_document in zip(zone.children, document["sub_environments"]):
                assert child in documents
                assert child_document == documents[child]
        for sequencer in self.all_sequencers:
            assert sequencer.obj.current_frame == sequencer.current_frame
            assert sequencer.obj.is_finished is sequencer.is_finished
        for ref in self.item_refs:  # every item read so far: stale exactly when expected
            assert is_stale(ref.item) == ref.stale, f"{ref}: stale {is_stale(ref.item)}"
            if not ref.stale:
                assert key_of(ref.item) == key_of(ref.zone.obj.charges[ref.index])


LevelMachine.TestCase.settings = PROFILE
TestLevels = LevelMachine.TestCase


# ---------------------------------------------------------------------------------------------
# Untouched levels end in time


@st.composite
def levels(draw):
    """A random level as plain data: zones (id, charges, agents) and parent-to-child links
    that form no cycle and reach every zone from zone 0, shared and repeated children
    included."""
    size = draw(st.integers(1, 7))
    # Half of the levels are tidy (every zone has operands and arithmetic agents), so that
    # long runs of spells and collapses are common, not only levels that stall at once.
    tidy = draw(st.booleans())
    kinds = (["add_plus_magician", "add_minus_magician", "add_multiply_magician",
              "add_abs_magician", "add_power_sorcerer"] if tidy else sorted(AGENT_METHODS))
    zones = [(draw(valid_texts),
              draw(st.lists(st.tuples(magnitudes, polarities, valid_texts),
                            min_size=2 if tidy else 0, max_size=4)),
              draw(st.lists(st.tuples(st.sampled_from(kinds), valid_texts, magnitudes,
                                      comparison_texts), min_size=int(tidy), max_size=4)))
             for _ in range(size)]
    links = [(draw(st.integers(0, index - 1)), index) for index in range(1, size)]
    if size > 1:
        links += [tuple(sorted(pair)) for pair in draw(st.lists(
            st.tuples(st.integers(0, size - 1), st.integers(0, size - 1)), max_size=3))
            if pair[0] != pair[1]]
    return zones, draw(st.permutations(links))


def build_level(zones, links):
    built = []
    for zone_id, charges, agents in zones:
        zone = Environment(zone_id)
        for magnitude, polarity, text in charges:
            zone.add_charge(magnitude, polarity, text)
        for method, text, target, comparison in agents:
            name = AGENT_METHODS[method][0]
            extra = [target] if name == "Equals Gate" else (
                [target, comparison] if name == "The Judge" else [])
            getattr(zone, method)(text, *extra)
        built.append(zone)
    for parent, child in links:
        built[parent].add_sub_environment(built[child])
    return built[0]


@settings(PROFILE)
@given(level=levels(), keep_top=st.booleans())
def test_an_untouched_level_ends_within_its_agents_and_links(level, keep_top):
    """Only the top zone keeps a Python reference (and with keep_top false not even that),
    so collapsed zones are released while the level runs."""
    zones, links = level
    agent_entries = sum(len(agents) for _, _, agents in zones)
    bound = agent_entries + len(links) + 1
    top = build_level(zones, links)
    sequencer = NarrativeSequencer(top)
    if not keep_top:
        top = None
    spells = collapses = 0
    for step in range(1, bound + 1):
        frame = parse(sequencer.next_frame())
        check_frame_shape(frame)
        if top is not None:
            assert without_meta(frame) == parse(top.to_json())
        meta = frame["meta"]
        assert meta["frame_index"] == step
        event = meta["last_event"]
        assert event is not None
        if meta["status"] == "FINISHED":
            assert meta["message"] == MSG_ENDED and event == END_EVENT
            break
        assert meta["status"] == "RUNNING"
        spells += event["type"] == "CAST_SPELL"
        collapses += event["type"] == "COLLAPSE_ZONE"
        assert spells <= agent_entries and collapses <= len(links), meta
        assert not sequencer.is_finished
    else:
        pytest.fail(f"not finished after {bound} steps ({agent_entries} agent-list entries, "
                    f"{len(links)} links)")
    tally(f"level ended after {min(step, 8)}{'+' if step >= 8 else ''} steps")
    assert sequencer.is_finished is True
    last = parse(sequencer.next_frame())
    assert last["meta"] == {"frame_index": step, "last_event": None, "message": MSG_IDLE,
                            "status": "FINISHED"}
    assert without_meta(last) == without_meta(frame)
