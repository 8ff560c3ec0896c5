"""Settings for every test run."""

import os
import signal

import pytest

# Under the sanitizer build the test process checks itself for leaks at exit. The short-lived
# interpreters that tests start (`python -m orv ...`) inherit the same options, and there
# LeakSanitizer's exit-time tracer has been seen to crash on its own ("LeakSanitizer has
# encountered a fatal error"), killing a child that had done its work. Children keep every
# other sanitizer check; only their leak check is off. This process has read its options
# already, so its own leak check stays on. A run spread over workers (pytest-xdist) leaves the
# options alone in the process that starts them: the workers run the tests and keep theirs.


def pytest_configure(config: pytest.Config) -> None:
    starts_workers = not hasattr(config, "workerinput") and getattr(
        config.option, "numprocesses", None)
    options = os.environ.get("ASAN_OPTIONS")
    if options is not None and not starts_workers:
        os.environ["ASAN_OPTIONS"] = options.replace("detect_leaks=1", "detect_leaks=0")


# Dask gives up on a connection after 30 s, which a busy machine can take to start a cluster's
# workers; the tests and the commands they start wait as long as the tests' own hang guard.
os.environ.setdefault("DASK_DISTRIBUTED__COMM__TIMEOUTS__CONNECT", "120s")

# A shell starts a command in the background (`cmd &`, nohup, some CI runners) with Ctrl-C
# ignored, and a program started with it ignored keeps ignoring it: the tests that interrupt
# a command would then wait for ever. A handler of this process's own is not inherited, so
# the commands the tests start hear Ctrl-C again, as they do from a terminal.
if signal.getsignal(signal.SIGINT) is signal.SIG_IGN:
    signal.signal(signal.SIGINT, signal.default_int_handler)
