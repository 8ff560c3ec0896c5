"""Connecting to a Dask scheduler, or starting a cluster on this machine, for a run.

Dask's client waits without end for a scheduler that accepts the connection but never
answers, and reads whatever another program answers as the length of a message (an SSH
server's greeting asks it to allocate petabytes). So before the client is made, a plain TCP
address is asked once, within the connect timeout, whether it speaks as a Dask server
does: it greets a new connection with a message whose length prefix is small.
"""

from __future__ import annotations

import socket
import struct
import sys
import time
from collections.abc import Iterator
from contextlib import contextmanager
from typing import TYPE_CHECKING

from orv.running.dask_logs import NOTHING, dask_logs_held, dask_logs_shown

if TYPE_CHECKING:
    from distributed import Client
LOCAL = "local"
CONNECT_TIMEOUT_SECONDS = 10.0
# A Dask server's first message (its handshake) is a frame holding a few hundred bytes: the
# byte count of its header frames, then their number, each an 8-byte integer.
GREETING = struct.Struct("=QQ")
LARGEST_GREETING = 1 << 20


class DaskUnavailable(Exception):
    """Dask is not installed, or the scheduler cannot be reached."""


@contextmanager
def dask_client(address: str, workers: int, name: str = "orv check",
                timeout: float = CONNECT_TIMEOUT_SECONDS,
                dask_logs: bool = False) -> Iterator[Client]:
    """A client of the scheduler at ``address``, or of a new local cluster with ``workers``
    single-threaded worker processes for ``local``; everything is closed on leaving. Notes
    for the user go to standard error, behind ``name``; Dask's own log lines only with
    ``dask_logs`` (see ``dask_logs_held``)."""
    try:
        import distributed  # noqa: F401 - sets up Dask's loggers before they are held
    except ImportError:
        raise DaskUnavailable("--scheduler needs Dask, which is not installed; install it "
                              "with: pip install 'orv_engine[dask]'") from None
    with dask_logs_held(dask_logs):
        yield from _client(address, workers, name, timeout, dask_logs_shown(dask_logs))


def _client(address: str, workers: int, name: str, timeout: float,
            dask_logs: bool) -> Iterator[Client]:
    from distributed import Client, LocalCluster

    from orv.running.dask_plugins import DeafToCtrlC

    if address != LOCAL:
        probe_scheduler(address, timeout)
        try:
            client = Client(address, timeout=timeout)  # type: ignore[no-untyped-call]
        except (OSError, TimeoutError) as error:
            raise DaskUnavailable(f"cannot reach the Dask scheduler at {address}: "
                                  f"{error}") from None
        with client:
            if not client.scheduler_info()["workers"]:
                print(f"{name}: the scheduler at {address} has no workers yet; "
                      "waiting for them (start some with: dask worker ADDRESS)",
                      file=sys.stderr)
            yield client
        return
    print(f"{name}: starting a local Dask cluster of {workers} worker "
          f"process{'es' if workers > 1 else ''}", file=sys.stderr)
    # The worker processes log to this terminal too, from the level given here (False: as
    # Dask's settings say). The scheduler's web server takes any free port (without one it
    # takes 8787, and two runs at once would clash).
    with LocalCluster(  # type: ignore[no-untyped-call]
            n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
            dashboard_address="127.0.0.1:0",
            silence_logs=False if dask_logs else NOTHING) as cluster:
        with Client(cluster) as client:  # type: ignore[no-untyped-call]
            client.register_plugin(DeafToCtrlC())
            yield client


def probe_scheduler(address: str, timeout: float) -> None:
    """Raise DaskUnavailable unless a plain TCP ``address`` greets like a Dask server within
    ``timeout`` seconds; other kinds of address are left to Dask."""
    from distributed.comm.addressing import parse_address, parse_host_port

    try:
        scheme, location = parse_address(address)
        host, port = parse_host_port(location)
    except ValueError as error:
        raise DaskUnavailable(f"not a scheduler address: {address} ({error})") from None
    if scheme != "tcp":
        return
    greeting = _first_bytes(address, host, port, timeout)
    header_bytes, frames = GREETING.unpack(greeting)
    if not (1 <= frames and 8 * (frames + 1) <= header_bytes <= LARGEST_GREETING):
        raise DaskUnavailable(f"{address} does not speak Dask's protocol; it answered "
                              f"{greeting!r}")


def _first_bytes(address: str, host: str, port: int, timeout: float) -> bytes:
    deadline = time.monotonic() + timeout
    received = b""
    try:
        with socket.create_connection((host, port), timeout=timeout) as connection:
            while len(received) < GREETING.size:
                connection.settimeout(max(deadline - time.monotonic(), 1e-3))
                chunk = connection.recv(GREETING.size - len(received))
                if not chunk:
                    raise DaskUnavailable(f"the scheduler at {address} closed the connection "
                                          "without a word")
                received += chunk
    except TimeoutError:
        raise DaskUnavailable(f"the scheduler at {address} did not answer within "
                              f"{timeout:g} s") from None
    except OSError as error:
        raise DaskUnavailable(f"cannot reach the Dask scheduler at {address}: "
                              f"{error.strerror or error}") from None
    return received


def scheduler_answers(client: Client, timeout: float) -> bool:
    """Whether the client's scheduler answers a call within ``timeout`` seconds."""
    try:
        client.sync(client.scheduler.identity,  # type: ignore[no-untyped-call,union-attr]
                    callback_timeout=timeout)
    except Exception:  # noqa: BLE001 - any failure means it did not answer
        return False
    return True
