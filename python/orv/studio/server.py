"""The studio's web server (aiohttp) and its watch on the level file (watchfiles).

The page plays the level itself with the browser engine; the server reads, writes and
watches the file. Routes: ``GET /`` the page; ``POST /api/save`` writes the level in the body
(409 when the file changed since the page's revision, unless ``force``; 422 with every problem
and its place when it cannot be loaded); ``POST /api/solve`` asks the solver; ``POST
/api/keep`` writes a solution's preview to a new file beside the level file; ``POST
/api/playtest`` answers the game page of the puzzle in the body; ``GET /api/events`` streams
each change of the file on disk (server-sent events).
"""

from __future__ import annotations

import asyncio
import json
import signal
import socket
import sys
import webbrowser
from collections.abc import Callable
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
from typing import Any, TypeVar

from aiohttp import web
from watchfiles import awatch

from orv.documents import Json
from orv.levels.files import LevelError, level_from_json
from orv.studio.guard import add_security_headers, guard, own_hosts
from orv.studio.level_file import ChangedOnDisk, LevelFile, revision_of
from orv.studio.page import studio_page
from orv.studio.replay import playtest_page, problems, solutions, solver_installed

T = TypeVar("T")

# The largest level the page may send; the largest sample is under 100 kB.
MAX_LEVEL_BYTES = 16 * 1024 * 1024
HEARTBEAT_SECONDS = 15.0
# How long the watcher lets a burst of writes settle before it reads the file.
WATCH_DEBOUNCE_MS = 150


class Studio:
    """One level file served to its page; the solver runs on one worker thread, so a long
    search leaves the server answering."""

    def __init__(self, level_file: LevelFile, token: str, hosts: frozenset[str] | None) -> None:
        self.file = level_file
        self.token = token
        self.hosts = hosts
        self.known_revision = revision_of(level_file.read())
        self._listeners: set[asyncio.Queue[str]] = set()
        self._engine = ThreadPoolExecutor(max_workers=1, thread_name_prefix="orv-engine")

    def app(self) -> web.Application:
        app = web.Application(client_max_size=MAX_LEVEL_BYTES,
                              middlewares=[guard(self.token, self.hosts)])
        app.on_response_prepare.append(add_security_headers)
        app.add_routes([web.get("/", self.page), web.post("/api/save", self.save),
                        web.post("/api/solve", self.solve), web.post("/api/keep", self.keep),
                        web.post("/api/playtest", self.playtest),
                        web.get("/api/events", self.events)])
        return app

    async def _in_engine(self, work: Callable[..., T], *arguments: Any) -> T:
        return await asyncio.get_running_loop().run_in_executor(self._engine, work, *arguments)

    async def page(self, request: web.Request) -> web.Response:
        data, revision = self.file.current()
        try:
            level_from_json(data)
        except LevelError as error:
            lines = "\n".join(f"  {place}: {problem}" for place, problem in error.problems)
            return web.Response(status=422, text=f"orv studio: {self.file.path} cannot be "
                                f"loaded; mend it and load this page again\n{lines}\n")
        self.known_revision = revision
        start = {"token": self.token, "revision": revision, "file": str(self.file.path),
                 "sample": self.file.sample, "solver": solver_installed()}
        page = studio_page(json.loads(data.decode("utf-8-sig")), self.file.path.stem, start)
        return web.Response(text=page, content_type="text/html")

    async def playtest(self, request: web.Request) -> web.Response:
        body = await request.read()
        try:
            page = playtest_page(body, self.file.path.stem)
        except LevelError as error:
            return _json(problems(error), status=422)
        return web.Response(text=page, content_type="text/html")

    async def save(self, request: web.Request) -> web.Response:
        body = await request.read()
        try:
            # Not on the engine's thread: the watcher must not see the new file before
            # known_revision says it is this server's own.
            text, revision = self.file.save(body, request.query.get("revision", ""),
                                            force=request.query.get("force") == "1")
        except LevelError as error:
            return _json(problems(error), status=422)
        except ChangedOnDisk as error:
            return _json({"error": str(error), "revision": error.revision}, status=409)
        except OSError as error:
            return _json({"error": f"cannot write {self.file.path}: {error.strerror}"},
                         status=500)
        self.known_revision = revision
        return _json({"text": text, "revision": revision, "file": str(self.file.path)})

    async def keep(self, request: web.Request) -> web.Response:
        body = await request.read()
        try:
            path = self.file.keep_as_new(body, "solved")
        except LevelError as error:
            return _json(problems(error), status=422)
        except OSError as error:
            return _json({"error": f"cannot write beside {self.file.path}: "
                                   f"{error.strerror}"}, status=500)
        return _json({"file": str(path)})

    async def solve(self, request: web.Request) -> web.Response:
        body = await request.read()
        try:
            return _json(await self._in_engine(solutions, body))
        except LevelError as error:
            return _json(problems(error), status=422)
        except ImportError:
            return _json({"error": "the solver is not installed with this orv"}, status=501)

    async def events(self, request: web.Request) -> web.StreamResponse:
        response = web.StreamResponse(headers={"Content-Type": "text/event-stream"})
        await response.prepare(request)
        queue: asyncio.Queue[str] = asyncio.Queue()
        self._listeners.add(queue)
        try:
            while True:
                try:
                    message = await asyncio.wait_for(queue.get(), HEARTBEAT_SECONDS)
                except TimeoutError:
                    message = ": the studio is still here\n\n"
                await response.write(message.encode())
        except ConnectionError:
            return response
        finally:
            self._listeners.discard(queue)

    async def watch(self, stop: asyncio.Event) -> None:
        """Tells the pages of every change to the file that this server did not make, until
        ``stop`` is set."""
        target = self.file.path.resolve()
        async for _ in awatch(target.parent, recursive=False, debounce=WATCH_DEBOUNCE_MS,
                              watch_filter=lambda change, path: Path(path) == target,
                              stop_event=stop):
            self.file_changed()

    def file_changed(self) -> None:
        try:
            data = self.file.read()
        except (LevelError, OSError) as error:
            # Whatever took the file's place, the page hears of it and keeps its level.
            reason = error if isinstance(error, LevelError) else LevelError(
                str(self.file.path), error.strerror or str(error))
            self._tell({"revision": "unreadable", **problems(reason)})
            return
        revision = revision_of(data)
        if revision == self.known_revision:
            return
        self.known_revision = revision
        message: Json = {"revision": revision}
        if data is None:
            message["removed"] = True
        else:
            try:
                level_from_json(data)
                message["text"] = data.decode("utf-8-sig")
            except LevelError as error:
                message.update(problems(error))
        self._tell(message)

    def _tell(self, message: Json) -> None:
        event = f"event: file\ndata: {json.dumps(message, ensure_ascii=False)}\n\n"
        for queue in self._listeners:
            queue.put_nowait(event)

    async def run(self, listening: socket.socket, address: str, open_browser: bool) -> None:
        runner = web.AppRunner(self.app(), handle_signals=False, access_log=None)
        await runner.setup()
        try:
            await web.SockSite(runner, listening).start()
            print(f"open {address}  (Ctrl-C stops the studio)", flush=True)
            if open_browser and not webbrowser.open(address):
                print("orv studio: no browser could be started; open the address above",
                      file=sys.stderr)
            # A terminated studio stops as it does when Ctrl-C stops it, cleaning up.
            stop = asyncio.Event()
            asyncio.get_running_loop().add_signal_handler(signal.SIGTERM, stop.set)
            await self.watch(stop)
        finally:
            await runner.cleanup()
            self._engine.shutdown(wait=False, cancel_futures=True)


def _json(value: Json, status: int = 200) -> web.Response:
    # Not a number is null in the engine's JSON; a NaN here would break the page's parser.
    return web.Response(text=json.dumps(value, ensure_ascii=False, allow_nan=False),
                        status=status, content_type="application/json")
