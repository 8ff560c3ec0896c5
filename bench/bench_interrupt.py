"""How soon a signal stops a long `to_json` or `next_frame`.

Run: .venv/bin/python bench/bench_interrupt.py
For each level shape a timer raises KeyboardInterrupt (SIGALRM with the default SIGINT handler)
a while after the call starts; the delay between the timer and the exception reaching Python
is the latency. Prints the median and the worst of several runs per shape and call.
"""

import signal
import statistics
import time

import orv_engine as orv

TIMER_SECONDS = 0.02
RUNS = 7


def shared_doubling(levels: int = 60) -> orv.Environment:
    """Each zone holds the zone below twice: 2**(levels - 1) zones to walk at the top."""
    top = orv.Environment("z0")
    top.add_charge(1, orv.POSITIVE, "c")
    for level in range(1, levels):
        top, below = orv.Environment(f"z{level}"), top
        top.add_sub_environment(below)
        top.add_sub_environment(below)
    return top


def many_charges(count: int = 3_000_000) -> orv.Environment:
    zone = orv.Environment("wide")
    zone.charges = [orv.Charge(index, orv.POSITIVE, "c") for index in range(count)]
    return zone


def many_frozen_agents(count: int = 300_000) -> orv.Environment:
    """Sub-zones full of agents that all decline: every step walks and tries them all."""
    top = orv.Environment("top")
    for index in range(count):
        zone = orv.Environment(f"z{index}")
        zone.add_charge(1, orv.POSITIVE, "a")
        zone.add_divide_magician(f"d{index}")
        top.add_sub_environment(zone)
    return top


def latency(call) -> float | None:
    """Seconds from the timer to the exception; None when the call finished first."""
    signal.setitimer(signal.ITIMER_REAL, TIMER_SECONDS)
    start = time.perf_counter()
    try:
        call()
    except KeyboardInterrupt:
        return time.perf_counter() - start - TIMER_SECONDS
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    return None


def main() -> None:
    signal.signal(signal.SIGALRM, signal.default_int_handler)
    print(f"{'level':<22} {'call':<11} {'median ms':>10} {'worst ms':>9}")
    for name, build in (("shared, 60 levels", shared_doubling), ("3,000,000 charges", many_charges),
                        ("300,000 agent zones", many_frozen_agents)):
        top = build()
        for call_name, call in (("to_json", top.to_json),
                                ("next_frame", lambda: orv.NarrativeSequencer(top).next_frame())):
            samples = [latency(call) for _ in range(RUNS)]
            if None in samples:
                print(f"{name:<22} {call_name:<11} {'finished before the timer':>20}")
                continue
            print(f"{name:<22} {call_name:<11} {statistics.median(samples) * 1e3:>10.2f} "
                  f"{max(samples) * 1e3:>9.2f}")


if __name__ == "__main__":
    main()
