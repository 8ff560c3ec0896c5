"""Settings for every test run."""

import os

# Under the sanitizer build the test process checks itself for leaks at exit. The short-lived
# interpreters that tests start (`python -m orv ...`) inherit the same options, and there
# LeakSanitizer's exit-time tracer has been seen to crash on its own ("LeakSanitizer has
# encountered a fatal error"), killing a child that had done its work. Children keep every
# other sanitizer check; only their leak check is off. This process has read its options
# already, so its own leak check stays on.
_options = os.environ.get("ASAN_OPTIONS")
if _options is not None:
    os.environ["ASAN_OPTIONS"] = _options.replace("detect_leaks=1", "detect_leaks=0")

# Dask gives up on a connection after 30 s, which a busy machine can take to start a cluster's
# workers; the tests and the commands they start wait as long as the tests' own hang guard.
os.environ.setdefault("DASK_DISTRIBUTED__COMM__TIMEOUTS__CONNECT", "120s")
