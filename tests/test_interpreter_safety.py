"""Legal Python that once crashed the interpreter. Each case runs in a child interpreter of its
own, so that a crash fails that case alone."""

import itertools
import os
import pickle
import signal
import subprocess
import sys
import textwrap
import time

import pytest

PRELUDE = "import json, pickle, resource, signal\nfrom orv_engine import *\n"
CLASSES = ["Environment", "Charge", "NarrativeSequencer", "ChargePolarity"]
INSTANCES = {"Environment": "Environment('e')", "Charge": "Charge(1, POSITIVE, 'c')",
             "NarrativeSequencer": "NarrativeSequencer(Environment('e'))",
             "ChargePolarity": "ChargePolarity(1)"}
FIRST_USE = {"Environment": "item.to_json()", "Charge": "item.to_json()",
             "NarrativeSequencer": "item.next_frame()", "ChargePolarity": "int(item)"}


def child(code, **options):
    return subprocess.Popen([sys.executable, "-c", PRELUDE + textwrap.dedent(code)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **options)


def finish(process, timeout=300):
    try:
        return process.communicate(timeout=timeout)
    finally:
        process.kill()  # only if it is still running


def cpu_seconds(pid):
    """The processor time the process ``pid`` has used so far."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()  # its name, in (), may hold spaces
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def output(code, **options):
    """What the child printed; it must exit normally."""
    out, err = finish(child(code, **options))
    assert not err, err
    return out.split("\n")[:-1]


def error_line(code):
    """The exception a child ended with: its last line of stderr (a crash prints none)."""
    process = child(code)
    _, err = finish(process)
    assert process.returncode == 1, err
    return err.splitlines()[-1]


USES = [("Environment", "{}.to_json()"), ("Environment", "{}.add_charge(1, POSITIVE, 'c')"),
        ("Environment", "{}.add_plus_magician('p')"), ("Environment", "{}.charges"),
        ("Environment", "Environment('top').add_sub_environment({})"),
        ("Environment", "NarrativeSequencer({})"), ("NarrativeSequencer", "{}.next_frame()"),
        ("NarrativeSequencer", "{}.current_frame"), ("Charge", "{}.magnitude"),
        ("Charge", "{}.to_json()"), ("Charge", "Environment('z').charges = [{}]"),
        ("ChargePolarity", "Charge(1, {}, 'c')"), ("ChargePolarity", "hash({})")]


@pytest.mark.parametrize("cls, use", USES, ids=[use.format(cls) for cls, use in USES])
def test_objects_whose_init_never_ran_refuse_every_use(cls, use):
    line = error_line(use.format(f"{cls}.__new__({cls})"))
    assert line == f"TypeError: {cls}.__init__() was not called"


@pytest.mark.parametrize("route", ["item.__class__ = {}", "object.__setattr__(item, '__class__', {})"])
@pytest.mark.parametrize("source, target", itertools.permutations(CLASSES, 2))
def test_class_assignment_between_the_modules_classes_is_refused(source, target, route):
    assert output(f"""
        item = {INSTANCES[source]}
        try:
            {route.format(target)}
        except TypeError as error:
            print(error)
        {FIRST_USE[source]}
        print(type(item).__name__)
    """)[-1] == source


@pytest.mark.parametrize("cls, protocol", [
    *itertools.product(CLASSES[:3], range(pickle.HIGHEST_PROTOCOL + 1)),
    ("ChargePolarity", 0), ("ChargePolarity", 1)])
def test_pickling_refuses_at_every_protocol(cls, protocol):
    line = error_line(f"pickle.dumps({INSTANCES[cls]}, {protocol})")
    assert line in (f"TypeError: cannot pickle '{cls}' object",
                    f"TypeError: cannot pickle 'orv_engine.{cls}' object")


def test_the_binding_base_class_refuses_instantiation():
    assert error_line("Environment.__base__()").startswith("TypeError: cannot create")


@pytest.mark.parametrize("length", [2**62, 10**30, 3])
def test_writing_charges_from_a_sequence_with_a_false_length_names_it(length):
    message, unchanged = output(f"""
        class Lying:
            def __len__(self):
                return {length}
            def __getitem__(self, index):
                if index:
                    raise IndexError(index)
                return Charge(5, POSITIVE, "new")
        zone = Environment("z")
        zone.add_charge(1, POSITIVE, "old")
        before = zone.to_json()
        try:
            zone.charges = Lying()
        except ValueError as error:
            print(error)
        print(zone.to_json() == before)
    """)
    assert f"__len__ returned {length}" in message and unchanged == "True"


@pytest.mark.parametrize("call, nested_frame", [("top.to_json()", "small"),
                                                 ("steps.next_frame()", "refused")])
def test_sigint_stops_a_call_that_would_run_for_hours(call, nested_frame):
    # Each zone holds the zone below twice: 2**59 zones to walk at the top. The handler
    # makes the calls a handler may make while a walk is paused.
    process = child(f"""
        top = Environment("z0")
        top.add_charge(1, POSITIVE, "c")
        for level in range(1, 60):
            top, below = Environment(f"z{{level}}"), top
            top.add_sub_environment(below)
            top.add_sub_environment(below)
        steps, small = NarrativeSequencer(top), Environment("small")
        def on_sigint(*_):
            try:
                nested = json.loads(NarrativeSequencer(small).next_frame())["id"]
            except RuntimeError:
                nested = "refused"
            print(nested, json.loads(small.to_json())["id"])
            raise KeyboardInterrupt
        signal.signal(signal.SIGINT, on_sigint)
        print("ready", flush=True)
        try:
            {call}
        except KeyboardInterrupt:
            print("interrupted")
        print(steps.current_frame, json.loads(NarrativeSequencer(small).next_frame())["id"])
    """)
    assert process.stdout.readline() == "ready\n"
    # Sent from here, since no thread of the child runs while the call holds the lock; once
    # the child has spent a tenth of a second of processor time more, it is inside the call.
    started = cpu_seconds(process.pid)
    deadline = time.monotonic() + 120
    while cpu_seconds(process.pid) < started + 0.1:
        assert time.monotonic() < deadline and process.poll() is None, process.poll()
        time.sleep(0.01)
    os.kill(process.pid, signal.SIGINT)
    out, err = finish(process, timeout=120)
    assert out.split("\n")[:-1] == [f"{nested_frame} small", "interrupted", "0 small"], err


def test_releasing_a_wide_tree_with_no_memory_left_frees_it_all():
    # Under the sanitizers freed memory waits in a quarantine unless it is turned off.
    env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=0")
    assert output("""
        def tree():
            top, wide = Environment("top"), Environment("wide")
            for _ in range(2_000_000):
                wide.add_sub_environment(Environment("leaf"))
            top.add_sub_environment(wide)
            return top
        top = tree()
        with open("/proc/self/status") as status:
            used = next(int(line.split()[1]) << 10 for line in status if line.startswith("VmSize"))
        hard = resource.getrlimit(resource.RLIMIT_AS)[1]
        resource.setrlimit(resource.RLIMIT_AS, (used + (2 << 20), hard))
        del top
        resource.setrlimit(resource.RLIMIT_AS, (used + (64 << 20), hard))
        top = tree()  # fits only where the first tree was
        print("rebuilt")
    """, env=env) == ["rebuilt"]
