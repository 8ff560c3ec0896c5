"""Every call raises MemoryError when memory runs out, and leaves every object usable.

One child interpreter runs the whole table: for each call it builds a small level, lowers its
address-space limit to what it already uses, fills the memory left with ballast from large
blocks down to the smallest, and then tries the call again and again, freeing one piece of
ballast after each MemoryError, so that the call fails at one allocation after another until
it has room. Then the limit goes, and the level, the call's own objects and the module must
still work."""

import os
import subprocess
import sys
import textwrap

import pytest

# Under the sanitizer build the limit cannot make allocations fail: AddressSanitizer reserves
# its heap's address space up front, and its operator new reports out-of-memory and aborts
# instead of throwing std::bad_alloc. There each call runs once, without the limit.
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")

LONG = "'" + "x" * 3000 + "'"
# name: the call, with `top` (a level), `steps` (its sequencer) and `item` (a charge item).
CALLS = {
    "Environment()": f"Environment({LONG})",
    "Charge()": f"Charge(1, POSITIVE, {LONG})",
    "NarrativeSequencer()": "NarrativeSequencer(top)",
    "ChargePolarity()": "ChargePolarity(1)",
    "add_charge": f"top.add_charge(1, POSITIVE, {LONG})",
    "add_sub_environment": "top.add_sub_environment(Environment('s'))",
    **{f"add_{kind}": f"top.add_{kind}({LONG})" for kind in (
        "plus_magician", "minus_magician", "multiply_magician", "divide_magician",
        "power_sorcerer", "root_magician", "abs_magician", "factorial_magician",
        "modulo_magician", "log_magician", "chronomancer")},
    "add_equals_gate": f"top.add_equals_gate({LONG}, 3)",
    "add_inequality_gate": f"top.add_inequality_gate({LONG}, 3, '>=')",
    "Environment.to_json": "top.to_json()",
    "next_frame": "steps.next_frame()",
    "charges read": "top.charges",
    "charges written": "setattr(top, 'charges', [item] * 50)",
    "id read": "top.id",
    "id written": f"setattr(top, 'id', {LONG} + 'é')",
    "is_time_frozen": "top.is_time_frozen",
    "item polarity read": "item.polarity",
    "item visual_id read": "item.visual_id",
    "item visual_id written": f"setattr(item, 'visual_id', {LONG})",
    "item magnitude written": "setattr(item, 'magnitude', 10**20)",
    "Charge.to_json": "item.to_json()",
    "ChargePolarity repr": "repr(NEGATIVE)",
    "ChargePolarity members": "ChargePolarity.__members__",
    "module imported again": "import_again()",
}
# Calls that need little memory of their own, which the allocator's spare chunks may give:
# they may succeed at the first try, but must not crash either.
MAY_NOT_FAIL = {"NarrativeSequencer()", "ChargePolarity()", "add_sub_environment",
                "is_time_frozen", "item polarity read", "item magnitude written", "ChargePolarity repr",
                "ChargePolarity members", "module imported again"}

CHILD = textwrap.dedent("""
    import gc, importlib, resource, sys
    from orv_engine import *

    HARD = resource.getrlimit(resource.RLIMIT_AS)[1]
    ballast, count = [None] * 3_000_000, 0  # the list never grows while memory is full

    def used():
        with open("/proc/self/status") as status:
            return next(int(line.split()[1]) << 10 for line in status if line.startswith("VmSize"))

    def put(size):
        global count
        ballast[count] = bytes(size) if size else float(count) + 0.5
        count += 1

    # Made once: what fill() frees at its end would be room for the call.
    SIZES = tuple([1 << shift for shift in range(22, 10, -1)] + list(range(1100, 0, -8)) + [0])

    def fill():
        resource.setrlimit(resource.RLIMIT_AS, (used(), HARD))
        for size in SIZES:
            try:
                while True:
                    put(size)
            except MemoryError:
                pass

    def release():
        global count
        while count:
            count -= 1
            ballast[count] = None
        resource.setrlimit(resource.RLIMIT_AS, (HARD, HARD))

    def level():
        # Long texts and many charges: reading them back needs memory too.
        top, inner = Environment("top" * 1000), Environment("inner")
        for index in range(100):
            top.add_charge(index, POSITIVE, "a" * 1000)
        inner.add_charge(3, NEGATIVE, "b")
        inner.add_charge(4, POSITIVE, "c")
        inner.add_multiply_magician("m")
        top.add_sub_environment(inner)
        return top, NarrativeSequencer(top), top.charges[0]

    def import_again():
        sys.modules.pop("orv_engine", None)
        try:
            return importlib.import_module("orv_engine")
        except SystemError as error:  # CPython's importlib, for any extension module
            raise MemoryError from error

    def attempt(call, skip):
        global count
        top, steps, item = level()
        gc.collect()
        gc.disable()
        fill()
        for _ in range(min(skip, count - 1)):  # room for a few small allocations more
            count -= 1
            ballast[count] = None
        failures = 0
        try:
            while True:
                try:
                    made = call(top, steps, item)
                    break
                except MemoryError:
                    if not count:
                        raise
                    failures += 1
                count -= 1
                ballast[count] = None
        finally:
            release()
            gc.enable()
        steps.next_frame(), top.to_json(), top.charges, repr(made)
        return failures

    for name, code in CALLS.items():
        print("start", name, flush=True)
        call = eval(f"lambda top, steps, item: {code}")
        if SANITIZED:
            top, steps, item = level()
            call(top, steps, item)
            failures = 1
        else:
            failures = sum(attempt(call, skip) for skip in (0, 3, 30))
        import orv_engine
        assert orv_engine.Environment is Environment
        print("done", name, failures, flush=True)
""")


@pytest.mark.skipif(sys.platform != "linux", reason="reads /proc/self/status")
def test_every_call_raises_memory_error_when_memory_runs_out_and_objects_stay_usable():
    env = dict(os.environ, PYTHONMALLOC="malloc")  # Python's objects and the engine's share the heap
    code = f"CALLS = {CALLS!r}\nSANITIZED = {SANITIZED}\n" + CHILD
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env,
                         timeout=600)
    lines = run.stdout.splitlines()
    assert run.returncode == 0, f"{lines[-1:]} {run.stderr[-3000:]}"
    failures = {line.split(" ", 1)[1].rsplit(" ", 1)[0]: int(line.rsplit(" ", 1)[1])
                for line in lines if line.startswith("done ")}
    assert failures.keys() == CALLS.keys()
    assert [name for name, seen in failures.items() if not seen and name not in MAY_NOT_FAIL] == []
