"""What the workers of a local Dask cluster are set up with; imported only with Dask."""

from __future__ import annotations

import signal

from distributed.diagnostics.plugin import WorkerPlugin


class DeafToCtrlC(WorkerPlugin):
    """Makes a local worker process ignore Ctrl-C. The terminal sends it to every process
    of its group, and the workers would print their KeyboardInterrupt while ``orv check``
    stops the run and closes them."""

    name = "orv-deaf-to-ctrl-c"

    def setup(self, worker: object) -> None:
        signal.signal(signal.SIGINT, signal.SIG_IGN)
