"""The wheel: ``pip wheel .`` builds it, and a fresh virtual environment can install it and use
the module, the companion package, the sample levels and the type stubs."""

import hashlib
import shutil
import subprocess
import sys
import textwrap
import zipfile
from pathlib import Path

import pytest
from orv_test_support import environment_without_sanitizer

import orv
import orv.cli
from orv.studio.page import SCRIPTS as STUDIO_SCRIPTS
from orv.viewer.page import SCRIPTS, STYLE_SHEET

REPOSITORY = Path(__file__).resolve().parents[2]


def run(command, cwd, **options):
    """A command outside this interpreter and outside the sanitizer's reach."""
    environment = environment_without_sanitizer()
    environment.pop("PYTHONPATH", None)
    return subprocess.run([str(part) for part in command], cwd=cwd, env=environment,
                          capture_output=True, text=True, timeout=900, **options)


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    # The build folder is kept per environment, so that only the first build compiles.
    build = f"build/wheel-check-{hashlib.sha256(sys.prefix.encode()).hexdigest()[:8]}"
    folder = tmp_path_factory.mktemp("dist")
    result = run([sys.executable, "-m", "pip", "wheel", "--no-deps", "--no-build-isolation",
                  f"-Cbuild-dir={build}", "-w", folder, REPOSITORY], cwd=REPOSITORY)
    assert result.returncode == 0, result.stdout + result.stderr
    (built,) = folder.glob("orv_engine-*.whl")
    return built


@pytest.fixture(scope="module")
def fresh_python(wheel, tmp_path_factory):
    venv = tmp_path_factory.mktemp("fresh") / "venv"
    run([sys.executable, "-m", "venv", "--without-pip", venv], cwd=venv.parent, check=True)
    python = venv / "bin" / "python"
    result = run([sys.executable, "-m", "pip", "--python", python, "install", "--no-deps",
                  "--no-index", wheel], cwd=venv.parent)
    assert result.returncode == 0, result.stdout + result.stderr
    return python


def test_the_wheel_holds_the_module_the_package_its_data_and_the_stubs(wheel):
    names = set(zipfile.ZipFile(wheel).namelist())
    assert any(n.startswith("orv_engine.cpython-312-") and n.endswith(".so") for n in names)
    expected = {f"orv/levels/sample_levels/{name}.json" for name in orv.SAMPLES}
    expected |= {f"orv/viewer/{name}" for name in ("viewer.html", STYLE_SHEET, *SCRIPTS)}
    expected |= {f"orv/studio/{name}" for name in ("studio.html", "studio.css", *STUDIO_SCRIPTS)}
    expected |= {"orv/py.typed", "orv/__main__.py", "orv_engine-stubs/__init__.pyi"}
    expected |= {"orv/web/orv_engine.d.ts"}
    if shutil.which("em++"):  # the browser engine is built whenever Emscripten is there
        expected |= {"orv/web/orv_engine.js"}
    assert expected <= names
    assert not [n for n in names if "__pycache__" in n or n.startswith("tests/")]


def test_a_fresh_environment_can_load_and_play_every_sample(fresh_python, tmp_path):
    script = textwrap.dedent("""\
        import sys
        import orv, orv_engine
        assert orv_engine.__file__.startswith(sys.prefix), orv_engine.__file__
        assert orv.__file__.startswith(sys.prefix), orv.__file__
        for name in orv.SAMPLES:
            frames = list(orv.play_frames(orv.load_sample(name)))
            print(name, len(frames), frames[-1].status)
        """)
    result = run([fresh_python, "-c", script], cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "workshop 7 FINISHED", "judges_hall 8 FINISHED", "alchemists_tower 12 FINISHED",
        "chronomancer_vault 4 FINISHED", "endless_ritual 1001 ERROR",
        "locksmiths_vault 1 FINISHED"]


def test_a_fresh_environment_has_the_orv_command_the_player_and_the_viewer(fresh_python,
                                                                          tmp_path):
    command = fresh_python.parent / "orv"
    assert run([command, "--version"], cwd=tmp_path).stdout == f"orv {orv.cli.version()}\n"
    played = run([command, "play", "alchemists_tower"], cwd=tmp_path)
    assert played.returncode == 0, played.stderr
    assert played.stdout.splitlines()[-1] == "  final status:  FINISHED (Equation Resolved.)"
    viewed = run([fresh_python, "-m", "orv", "view", "-o", "page.html"], cwd=tmp_path)
    assert viewed.returncode == 0, viewed.stderr
    assert "orv-data" in (tmp_path / "page.html").read_text(encoding="utf-8")


def test_mypy_sees_the_installed_stubs_and_package_types(fresh_python, tmp_path):
    (tmp_path / "game.py").write_text(textwrap.dedent("""\
        import orv
        import orv_engine
        reveal_type(orv_engine.Environment("z").to_json())
        reveal_type(orv.load_sample("workshop"))
        """))
    result = run([sys.executable, "-m", "mypy", "--python-executable", fresh_python,
                  "--cache-dir", tmp_path / "cache", "game.py"], cwd=tmp_path)
    assert result.stdout.splitlines() == [
        'game.py:3: note: Revealed type is "str"',
        'game.py:4: note: Revealed type is "orv_engine.Environment"',
        "Success: no issues found in 1 source file",
    ]
