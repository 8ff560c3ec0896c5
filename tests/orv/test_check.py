"""Checking many levels: the generator, the outcomes and exit status of ``orv check``, and the
three ways of running it (this process, worker processes, a Dask cluster)."""

from __future__ import annotations

import csv
import faulthandler
import json
import logging
import os
import re
import signal
import socket
import subprocess
import sys
import threading
from collections import Counter
from concurrent.futures import ProcessPoolExecutor
from dataclasses import replace
from pathlib import Path

import pytest
from orv_test_support import run_orv, wait_for

from orv.running.dask_logs import dask_logs_held
from orv.checking.level import check_packed, failed
from orv.checking.runs import LOST, check_here, check_in_processes, check_on_dask
from orv.generating.levels import generate_levels
from orv.checking.paths import find_levels
from orv.rules.roster import AGENT_KINDS
from orv.levels.samples import sample_file

CRAFTED = {
    "broken.json": ("error", b'{"id": "top", "charges": ['),
    "stuck.json": ("stuck", sample_file("chronomancer_vault").read_bytes()),
    "endless.json": ("out of steps", sample_file("endless_ritual").read_bytes()),
    "solved.json": ("solved", sample_file("workshop").read_bytes()),
}


def agent_names(path: Path) -> set[str]:
    pending, names = [json.loads(path.read_bytes())], set()
    while pending:
        zone = pending.pop()
        names.update(agent["name"] for agent in zone["agents"])
        pending.extend(zone["sub_environments"])
    return names


def without_times(results: list[tuple[int, object]]) -> list[object]:
    return [replace(check, seconds=0.0) for _, check in sorted(results)]  # type: ignore


def test_generator_is_reproducible_and_covers_every_kind_and_outcome(tmp_path: Path) -> None:
    first = generate_levels(26, seed=5, out=tmp_path / "a", zones=5)
    again = generate_levels(26, seed=5, out=tmp_path / "b", zones=5)
    other = generate_levels(26, seed=6, out=tmp_path / "c", zones=5)
    assert [path.read_bytes() for path in first] == [path.read_bytes() for path in again]
    assert [path.read_bytes() for path in first] != [path.read_bytes() for path in other]
    assert set().union(*map(agent_names, first)) == set(AGENT_KINDS)
    checks = [check for _, check in check_here([str(p) for p in first])]
    assert {"solved", "stuck"} <= {check.outcome for check in checks}
    # Gates say in their visual ids whether their targets can be reached.
    texts = b"".join(path.read_bytes() for path in first)
    closed = [gate for check in checks for gate in check.closed_gates]
    assert texts.count(b'"visual_id":"reach') > 0
    assert sum(gate["visual_id"].startswith("never") for gate in closed) == texts.count(
        b'"visual_id":"never') > 0
    assert not [gate for gate in closed
                if gate["visual_id"].startswith("reach") and gate["cause"] != "left_level"]


# The loop and the folder that cannot be read are rows of their own, with the reason.
WALKED = ["top/a.json", "top/b.json", "top/inner/c.json", "top/inner/up", "top/locked"]


@pytest.mark.parametrize(("arguments", "expected"), [
    (["top"], WALKED),
    (["top/**/*.json"], WALKED),
    (["top/inner/c.json", "top/*.json", "top/a.json"], ["top/inner/c.json", "top/a.json",
                                                        "top/b.json"]),
    (["top/gone.json", "top/*.yaml"], ["top/gone.json", "top/*.yaml"]),
    (["workshop"], [str(sample_file("workshop"))]),
], ids=["directory", "recursive-glob", "input-order-each-once", "missing-kept", "sample-name"])
def test_paths_expand_to_level_files_in_input_order(
        tmp_path: Path, monkeypatch: pytest.MonkeyPatch, arguments: list[str],
        expected: list[str]) -> None:
    for name in ("top/b.json", "top/a.json", "top/notes.txt", "top/inner/c.json",
                 "top/locked/d.json"):
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text("{}")
    (tmp_path / "top/inner/up").symlink_to("..")  # a loop: one row, and no file twice
    (tmp_path / "top/inner/alias.json").symlink_to("../a.json")  # a second name: no row
    scandir = os.scandir  # a folder that cannot be read is a row too
    monkeypatch.setattr(os, "scandir", lambda path: scandir(str(path).replace("locked", "gone")))
    monkeypatch.chdir(tmp_path)
    assert [found.path for found in find_levels(arguments)] == expected


EVERY_OUTCOME = ("broken.json", "stuck.json", "endless.json", "solved.json")
IN_PROCESSES = ("--jobs", "2")


@pytest.mark.parametrize(("files", "status", "route"), [
    (EVERY_OUTCOME, 2, IN_PROCESSES),
    (("stuck.json", "endless.json"), 1, IN_PROCESSES),
    (("stuck.json", "solved.json"), 3, IN_PROCESSES),
    (("solved.json",), 0, IN_PROCESSES),
    (EVERY_OUTCOME, 2, ("--scheduler", "local", "--jobs", "2")),
], ids=["error-wins", "out-of-steps-over-stuck", "stuck", "all-solved", "on-dask"])
@pytest.mark.parametrize("report", ["report.csv", "report.jsonl"])
def test_check_reports_each_level_in_input_order_with_the_gravest_exit_status(
        tmp_path: Path, files: tuple[str, ...], status: int, route: tuple[str, ...],
        report: str) -> None:
    folder = tmp_path / "levels"
    folder.mkdir()
    for name in files:
        (folder / name).write_bytes(CRAFTED[name][1])
    done = run_orv("check", str(folder), *route, "--report", report, cwd=tmp_path)
    assert done.returncode == status, done.stderr
    with open(tmp_path / report, encoding="utf-8") as file:
        rows = (list(csv.DictReader(file)) if report.endswith(".csv")
                else [json.loads(line) for line in file])
    assert [(Path(row["path"]).name, row["outcome"]) for row in rows] == sorted(
        (name, CRAFTED[name][0]) for name in files)
    assert all(bool(row["error"]) == (row["outcome"] == "error") for row in rows)
    counts = Counter(CRAFTED[name][0] for name in files)
    for outcome in ("solved", "stuck", "out of steps", "error"):
        assert re.search(rf"^{outcome}: +{counts[outcome]} level", done.stdout, re.MULTILINE)


@pytest.fixture(scope="module")
def cluster():  # type: ignore[no-untyped-def]
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address="127.0.0.1:0") as cluster:
        with distributed.Client(cluster) as client:
            yield client


@pytest.fixture
def cluster_client(cluster):  # type: ignore[no-untyped-def]
    # A hung cluster must not hang CI: each test on it gets five minutes, however busy.
    faulthandler.dump_traceback_later(300, exit=True)
    yield cluster
    faulthandler.cancel_dump_traceback_later()


class RecordedPool(ProcessPoolExecutor):
    """A process pool that keeps a list of itself, so that a test kills its own worker."""

    made: list[ProcessPoolExecutor] = []

    def __init__(self, *arguments, **options) -> None:  # type: ignore[no-untyped-def]
        super().__init__(*arguments, **options)
        RecordedPool.made.append(self)


def pool_worker_pid() -> int:
    """A worker process of the run's latest pool: started, and not yet ended."""
    return next(iter(RecordedPool.made[-1]._processes))  # type: ignore[attr-defined]


def dask_worker_pid(client) -> int:  # type: ignore[no-untyped-def]
    return next(iter(client.run(os.getpid).values()))  # type: ignore[no-any-return]


@pytest.mark.parametrize("route", ["processes", "dask"])
@pytest.mark.parametrize("kill_a_worker", [False, True], ids=["whole", "worker-killed"])
def test_worker_processes_and_dask_give_the_same_results_as_this_process(
        tmp_path: Path, request: pytest.FixtureRequest, monkeypatch: pytest.MonkeyPatch,
        route: str, kill_a_worker: bool) -> None:
    generated = generate_levels(36, seed=11, out=tmp_path, zones=4)
    for name, (_, text) in CRAFTED.items():
        (tmp_path / name).write_bytes(text)
    paths = [str(path) for path in sorted(tmp_path.iterdir())] + [str(tmp_path / "gone")]
    expected = without_times(list(check_here(paths)))
    assert len(expected) == len(generated) + len(CRAFTED) + 1
    if route == "dask":
        client = request.getfixturevalue("cluster_client")
        running, victim = check_on_dask(client, paths, size=2), lambda: dask_worker_pid(client)
    else:
        monkeypatch.setattr("orv.running.runners.ProcessPoolExecutor", RecordedPool)
        running, victim = check_in_processes(paths, 2), pool_worker_pid
    results = []
    for result in running:
        results.append(result)
        if kill_a_worker and len(results) == 1:
            os.kill(victim(), signal.SIGKILL)
    assert without_times(results) == expected


def test_a_pool_started_beside_other_threads_is_not_forked(
        tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> None:
    # A forked worker can inherit a lock that another thread held and hang before its first
    # level: the run would wait for ever.
    paths = [str(path) for path in generate_levels(4, seed=3, out=tmp_path)]
    monkeypatch.setattr("orv.running.runners.ProcessPoolExecutor", RecordedPool)
    stop = threading.Event()
    other = threading.Thread(target=stop.wait)
    other.start()
    try:
        results = list(check_in_processes(paths, 2))
    finally:
        stop.set()
        other.join()
    assert without_times(results) == without_times(list(check_here(paths)))
    assert RecordedPool.made[-1]._mp_context.get_start_method() == "forkserver"  # type: ignore


def test_a_batch_that_fails_on_the_cluster_is_an_error_for_each_of_its_levels(
        tmp_path: Path, cluster_client, monkeypatch: pytest.MonkeyPatch) -> None:  # type: ignore
    paths = [str(path) for path in generate_levels(3, seed=1, out=tmp_path)]
    monkeypatch.setattr("orv.checking.runs.check_packed", lambda batch: 1 / 0)
    reason = "the Dask cluster could not check it: ZeroDivisionError: division by zero"
    assert [(index, check.outcome, check.error)
            for index, check in sorted(check_on_dask(cluster_client, paths, size=2))] == [
        (index, "error", [reason]) for index in range(3)]


MEMORY_LIMITED = """
import resource, sys
from orv.cli import main
with open("/proc/self/status") as status:
    used = next(int(line.split()[1]) << 10 for line in status if line.startswith("VmSize"))
hard = resource.getrlimit(resource.RLIMIT_AS)[1]
resource.setrlimit(resource.RLIMIT_AS, (used + (200 << 20), hard))
sys.exit(main(sys.argv[1:]))
"""
# Its id is held three times (bytes, text, the parsed string), beyond the 200 MB that the
# limit leaves; in blocks so large that the sanitizer's allocator maps each of its own.
HUNGRY = b'{"agents":[],"charges":[],"sub_environments":[],"id":"' + b"x" * (96 << 20) + b'"}'


def run_with_little_memory(*arguments: str, cwd: Path) -> subprocess.CompletedProcess[str]:
    options = os.environ.get("ASAN_OPTIONS", "") + ":allocator_may_return_null=1"
    done = subprocess.run([sys.executable, "-c", MEMORY_LIMITED, *arguments], cwd=cwd,
                          env=dict(os.environ, ASAN_OPTIONS=options + ":quarantine_size_mb=0"),
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 2 and "Traceback" not in done.stderr, done.stderr
    return done


@pytest.mark.parametrize("route", [("--jobs", "1"), ("--jobs", "2")], ids=["here", "processes"])
def test_a_level_that_exhausts_memory_is_its_own_error_and_its_batch_keeps_its_outcomes(
        route, tmp_path):
    folder = tmp_path / "levels"
    generate_levels(100, seed=3, out=folder)
    (folder / "level_50_hungry.json").write_bytes(HUNGRY)
    run_with_little_memory("check", str(folder), *route, "--report", "r.jsonl", cwd=tmp_path)
    rows = map(json.loads, (tmp_path / "r.jsonl").read_text(encoding="utf-8").splitlines())
    paths = [str(path) for path in sorted(folder.iterdir())]
    expected = {check.path: (check.outcome, check.error)
                for _, check in check_here([path for path in paths if "hungry" not in path])}
    expected[paths[51]] = ("error", ["top zone: out of memory while loading the level"])
    assert {row["path"]: (row["outcome"], row["error"]) for row in rows} == expected
    played = run_with_little_memory("play", paths[51], cwd=tmp_path)
    assert played.stderr.endswith("out of memory while loading the level\n")


def test_a_batch_that_fails_on_the_cluster_is_split_so_its_other_levels_keep_their_outcomes(
        tmp_path: Path, cluster_client, monkeypatch: pytest.MonkeyPatch) -> None:  # type: ignore
    generate_levels(5, seed=2, out=tmp_path)
    (tmp_path / "level_2_poison.json").write_bytes(CRAFTED["solved.json"][1])
    paths = [str(path) for path in sorted(tmp_path.iterdir())]
    expected = without_times(list(check_here(paths)))
    expected[3] = failed(paths[3], "the Dask cluster could not check it: MemoryError")

    def poisoned(batch: bytes) -> bytes:
        if b"poison" in batch:
            raise MemoryError
        return check_packed(batch)
    monkeypatch.setattr("orv.checking.runs.check_packed", poisoned)
    assert without_times(list(check_on_dask(cluster_client, paths, size=3))) == expected


def greet(server: socket.socket, greeting: bytes) -> None:
    connection, _ = server.accept()
    with connection:
        connection.sendall(greeting)


@pytest.mark.parametrize("greeting, message", [
    (b"", "did not answer within 1 s"),
    (b"SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n", "does not speak Dask's protocol; it answered "
                                             "b'SSH-2.0-OpenSSH_'"),
], ids=["silent", "ssh"])
def test_a_scheduler_address_that_does_not_speak_dask_fails_within_the_timeout(
        greeting: bytes, message: str, tmp_path: Path) -> None:
    # The system accepts connections on a listening socket by itself; nobody answers them.
    with socket.create_server(("127.0.0.1", 0)) as peer:
        if greeting:
            threading.Thread(target=greet, args=(peer, greeting), daemon=True).start()
        done = run_orv("check", "workshop", "--scheduler",
                       f"tcp://127.0.0.1:{peer.getsockname()[1]}", "--connect-timeout", "1",
                       cwd=tmp_path)
    assert done.returncode == 2 and done.stderr.endswith(f"{message}\n"), done.stderr


def started(command: list[str], output: int = subprocess.PIPE,
            **options) -> subprocess.Popen[str]:  # type: ignore[no-untyped-def]
    return subprocess.Popen(command, text=True, stdout=output, stderr=output, **options)


def endless_levels(folder: Path, count: int) -> None:
    folder.mkdir()
    for number in range(count):
        (folder / f"endless_{number:02}.json").write_bytes(CRAFTED["endless.json"][1])


def assert_no_dask_lines(err: str) -> None:
    """Standard error holds the command's own lines only: no traceback, no Dask log line."""
    assert "Traceback" not in err and not re.search(r"distributed\.", err), err


def scheduler_address(found_at: Path, scheduler: subprocess.Popen[str]) -> str:
    """The address in a scheduler's file, once the file is there and written whole."""
    def written() -> str | None:
        assert scheduler.poll() is None, "the scheduler ended before it wrote its address"
        try:
            return str(json.loads(found_at.read_text())["address"])
        except (OSError, ValueError, KeyError):
            return None
    return wait_for(written, "the scheduler's address")


def holding(folder: Path, held: str) -> Path:
    """A preload for Dask workers that keeps each batch for which ``held`` is true (an
    expression of ``batch``, the pickled paths and texts) waiting until its worker ends.
    A worker may run it twice (from its scratch folder too), so it wraps the original."""
    path = folder / "holding.py"
    path.write_text("import threading\n"
                    "import orv.checking.level as level\n"
                    "check_packed = getattr(level, 'unheld_check_packed', level.check_packed)\n"
                    "def held_or_checked(batch):\n"
                    f"    if {held}:\n"
                    "        threading.Event().wait()\n"
                    "    return check_packed(batch)\n"
                    "level.unheld_check_packed = check_packed\n"
                    "level.check_packed = held_or_checked\n")
    return path


@pytest.mark.parametrize(("verbose", "variable", "shown"), [
    (False, "", 0), (True, "", 1), (False, "1", 1), (False, "0", 0)])
def test_dask_log_lines_are_held_unless_asked_for(
        monkeypatch: pytest.MonkeyPatch, verbose: bool, variable: str, shown: int) -> None:
    pytest.importorskip("distributed")
    records: list[logging.LogRecord] = []
    handler = logging.Handler()
    handler.emit = records.append  # type: ignore[method-assign]
    monkeypatch.setattr(logging.getLogger("distributed"), "handlers", [handler])
    monkeypatch.setenv("ORV_DASK_LOGS", variable)
    with dask_logs_held(verbose):
        logging.getLogger("distributed.batched").info("Batched Comm Closed")
        logging.getLogger("distributed.batched").error("lost", exc_info=ValueError("x"))
    assert len(records) == 2 * shown
    assert logging.getLogger("distributed").handlers == [handler]


def test_a_scheduler_lost_mid_run_ends_the_run_with_every_unchecked_level_reported(
        tmp_path: Path) -> None:
    dask = str(Path(sys.executable).with_name("dask"))
    # Every level but the first is held: the run has exactly one level checked when its
    # scheduler goes away.
    preload = holding(tmp_path, 'b"endless_00" not in batch')
    scheduler = started([dask, "scheduler", "--host", "127.0.0.1", "--port", "0",
                         "--dashboard-address", "127.0.0.1:0", "--scheduler-file",
                         str(tmp_path / "scheduler.json")], subprocess.DEVNULL)
    worker = check = None
    try:
        address = scheduler_address(tmp_path / "scheduler.json", scheduler)
        # A thread for each level, so that the first level never waits behind a held one.
        worker = started([dask, "worker", address, "--nthreads", "20", "--no-nanny",
                          "--preload", str(preload)],
                         subprocess.DEVNULL)
        endless_levels(tmp_path / "levels", 20)
        check = started([sys.executable, "-m", "orv", "check", "levels", "--all",
                         "--scheduler", address, "--connect-timeout", "2", "--report",
                         "r.jsonl"], cwd=tmp_path, env=dict(os.environ, PYTHONUNBUFFERED="1"))
        first = check.stdout.readline()  # type: ignore[union-attr]
        scheduler.kill()
        _, err = check.communicate(timeout=120)
    finally:
        for process in (check, worker, scheduler):
            if process is not None:
                process.kill()
                process.wait()
    assert check.returncode == 2, err
    assert_no_dask_lines(err)
    rows = [(row["outcome"], tuple(row["error"])) for row in map(
        json.loads, (tmp_path / "r.jsonl").read_text(encoding="utf-8").splitlines())]
    assert "endless_00.json: out of steps" in first
    assert rows == [("out of steps", ())] + [("error", (LOST,))] * 19


def test_ctrl_c_stops_a_run_on_a_local_cluster_with_status_130_and_no_worker_tracebacks(
        tmp_path: Path) -> None:
    endless_levels(tmp_path / "levels", 20)
    # The last level is held, so that the run is still going when Ctrl-C comes; its workers
    # load the preload through Dask's settings in the environment.
    preload = holding(tmp_path, 'b"endless_19" in batch')
    check = started([sys.executable, "-m", "orv", "check", "levels", "--all", "--scheduler",
                     "local", "--jobs", "2"], cwd=tmp_path, start_new_session=True,
                    env=dict(os.environ, PYTHONUNBUFFERED="1",
                             DASK_DISTRIBUTED__WORKER__PRELOAD=json.dumps([str(preload)])))
    try:
        assert "endless_00.json" in check.stdout.readline()  # type: ignore[union-attr]
        os.killpg(check.pid, signal.SIGINT)  # as a terminal's Ctrl-C does
        _, err = check.communicate(timeout=120)
    finally:
        check.kill()
        check.wait()
    assert check.returncode == 130 and err.endswith(
        "interrupted; the report holds the levels in input order up to the first one not yet "
        "checked\n"), err
    assert_no_dask_lines(err)


THREE_PROBLEMS = (b'{"id": "top", "charges": [], "sub_environments": [], "titel": "x",'
                  b' "agents": [{"name": "Plus Magican", "visual_id": "p"},'
                  b' {"name": "Equals Gate", "visual_id": "g"}]}')
PROBLEMS = ['top zone: unknown key "titel" (did you mean "title"?)',
            'agents[0]: unknown agent name "Plus Magican" (did you mean "Plus Magician"?)',
            'agents[1]: missing key "target_value"']


def test_check_rows_carry_the_designer_text_and_every_load_problem(tmp_path: Path) -> None:
    designed = {**json.loads(CRAFTED["solved.json"][1]), "title": "=Workshop",
                "hint": "add, then square", "notes": "first level"}
    (tmp_path / "a_designed.json").write_text(json.dumps(designed))
    (tmp_path / "b_broken.json").write_bytes(THREE_PROBLEMS)
    done = run_orv("check", ".", "--report", "r.jsonl", cwd=tmp_path)
    run_orv("check", ".", "--report", "r.csv", cwd=tmp_path)
    rows = [json.loads(line) for line in (tmp_path / "r.jsonl").read_text().splitlines()]
    assert [(row["title"], row["hint"], row["notes"], row["error"]) for row in rows] == [
        ("=Workshop", "add, then square", "first level", []), ("", "", "", PROBLEMS)]
    with open(tmp_path / "r.csv", newline="", encoding="utf-8") as file:
        cells = [(row["title"], row["error"]) for row in csv.DictReader(file)]
    assert cells == [("'=Workshop", ""), ("", "; ".join(PROBLEMS))]
    assert done.stdout.splitlines()[:4] == [
        f"{os.path.join('.', 'b_broken.json')}: error: 3 problems",
        *(f"  {problem}" for problem in PROBLEMS)]


def test_a_stuck_row_holds_its_gates_as_objects_and_the_summary_groups_by_cause(
        tmp_path: Path) -> None:
    for name, sample in (("a.json", "judges_hall"), ("b.json", "chronomancer_vault"),
                         ("c.json", "judges_hall")):
        (tmp_path / name).write_bytes(sample_file(sample).read_bytes())
    done = run_orv("check", ".", "--report", "r.jsonl", cwd=tmp_path)
    row = json.loads((tmp_path / "r.jsonl").read_text().splitlines()[1])
    assert list(row) == ["path", "outcome", "frames", "spells", "collapses", "gates_opened",
                         "gates_closed", "causes", "closed_gates", "idle_agents",
                         "final_charges", "title", "hint", "notes", "error", "seconds", "hand"]
    assert row["causes"] == ["frozen"] and row["closed_gates"] == [{
        "visual_id": "vault_door", "zone": "vault", "rule": "==", "target": 2.0,
        "last_total": 2.0, "zone_frozen": True, "removed": False, "cause": "frozen",
        "difference": 0.0, "left_with": None, "left_at": None,
        "blocked_by": [{"zone": "timelock", "frozen": False, "agents": [
            {"name": "Chronomancer", "visual_id": "keeper", "reason": "never casts"}],
            "charges": [{"magnitude": 7.0, "polarity": "positive",
                         "visual_id": "result_winder"}]}],
        "text": 'gate "vault_door" in zone vault (== 2.0): total 2.0, but the zone stayed '
                'frozen, held by zone timelock (Chronomancer "keeper": never casts)'}]
    assert row["idle_agents"] == [{"name": "Chronomancer", "visual_id": "keeper",
                                   "zone": "timelock", "reason": "never casts",
                                   "removed": False,
                                   "text": 'Chronomancer "keeper" in zone timelock: never '
                                           'casts'}]
    assert [zone["zone"] for zone in row["final_charges"]] == ["vault", "timelock"]
    assert re.search(r"^stuck: +3 levels — wrong_total 2, frozen 1\n"
                     r"  wrong_total: +\(first: \./a\.json\)\n"
                     r"  frozen: +\(first: \./b\.json\)$", done.stdout, re.MULTILINE), done.stdout
