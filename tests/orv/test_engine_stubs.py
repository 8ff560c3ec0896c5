"""The type stubs of orv_engine: they match the module, and mypy reads them."""

import ast
import re
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

import orv_engine

from orv import _native

ALLOWLIST = Path(__file__).with_name("stubtest_allowlist.txt")


def stub_source() -> str:
    # A stub-only package cannot be imported; it is installed beside the module.
    site_packages = Path(orv_engine.__file__).parent
    return (site_packages / "orv_engine-stubs" / "__init__.pyi").read_text(encoding="utf-8")


def stub_functions():
    """(class name, function node) for every function in the stubs' classes."""
    tree = ast.parse(stub_source())
    for cls in (node for node in tree.body if isinstance(node, ast.ClassDef)):
        for node in cls.body:
            if isinstance(node, ast.FunctionDef):
                yield cls.name, node


def shown_signature(function: ast.FunctionDef) -> str:
    """The stub's signature written the way pybind11 writes the module's own."""
    arguments = function.args
    # A Literal of texts narrows what the module takes as str.
    shown = ["self"] + [f"{a.arg}: " + re.sub(r"typing\.Literal\[[^]]*\]", "str",
                                              ast.unparse(a.annotation))
                        for a in arguments.posonlyargs[1:] + arguments.args[1:]]
    if arguments.posonlyargs:
        shown.insert(len(arguments.posonlyargs), "/")
    return f"({', '.join(shown)}) -> {ast.unparse(function.returns)}"


def runtime_signature(function) -> str:
    """The first line of a pybind11 docstring, without the name and the self type."""
    line = function.__doc__.splitlines()[0]
    line = re.sub(r"^\w*\((?:self|arg0): [\w.]+", "(self", line)
    return line.replace("orv_engine.", "")


def is_setter(function: ast.FunctionDef) -> bool:
    return any(isinstance(decorator, ast.Attribute) and decorator.attr == "setter"
               for decorator in function.decorator_list)


def runtime_function(class_name: str, function: ast.FunctionDef):
    member = vars(getattr(orv_engine, class_name))[function.name]
    if not isinstance(member, property):
        return member
    return member.fset if is_setter(function) else member.fget


FUNCTIONS = list(stub_functions())


@pytest.mark.parametrize("class_name, function", FUNCTIONS,
                         ids=[f"{c}.{f.name}" + (".setter" if is_setter(f) else "")
                              for c, f in FUNCTIONS])
def test_each_stub_signature_is_the_one_the_module_reports(class_name, function):
    assert shown_signature(function) == runtime_signature(runtime_function(class_name, function))


def test_the_stubs_name_every_polarity_and_class_of_the_module():
    tree = ast.parse(stub_source())
    named = {node.name for node in tree.body if isinstance(node, ast.ClassDef)}
    named |= {node.target.id for node in tree.body if isinstance(node, ast.AnnAssign)}
    public = {name for name in vars(orv_engine) if not name.startswith("_")}
    assert named == public


def run_mypy(*arguments: str, cwd: Path) -> subprocess.CompletedProcess[str]:
    return subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", str(cwd / "cache"),
                           *arguments], cwd=cwd, capture_output=True, text=True, timeout=300,
                          check=False)


def test_stubtest_finds_the_stubs_consistent_with_the_module(tmp_path):
    result = subprocess.run([sys.executable, "-m", "mypy.stubtest", "orv_engine",
                             "--allowlist", str(ALLOWLIST)], cwd=tmp_path,
                            capture_output=True, text=True, timeout=300, check=False)
    assert result.returncode == 0, result.stdout + result.stderr


def test_mypy_reads_the_stubs_and_catches_misuse(tmp_path):
    (tmp_path / "game.py").write_text(textwrap.dedent("""\
        import orv_engine
        zone = orv_engine.Environment("z")
        zone.add_charge(1, 0, "a")
        reveal_type(orv_engine.NarrativeSequencer(zone).next_frame())
        reveal_type(zone.charges[0].polarity)
        """))
    result = run_mypy("game.py", cwd=tmp_path)
    assert result.stdout.splitlines() == [
        'game.py:3: error: Argument 2 to "add_charge" of "Environment" has incompatible type '
        '"int"; expected "ChargePolarity"  [arg-type]',
        'game.py:4: note: Revealed type is "str"',
        'game.py:5: note: Revealed type is "orv_engine.ChargePolarity"',
        "Found 1 error in 1 file (checked 1 source file)",
    ]


def test_the_companion_package_type_checks_strictly_against_the_stubs(tmp_path):
    result = run_mypy("--strict", "-p", "orv", cwd=tmp_path)
    assert result.returncode == 0, result.stdout


def test_the_stubs_place_every_kind_of_the_engine_in_the_module_order():
    environment = next(node for node in ast.parse(stub_source()).body
                       if isinstance(node, ast.ClassDef) and node.name == "Environment")
    kinds = {kind["add_method"]: tuple(kind["arguments"]) for kind in _native.agent_kinds()}
    stubbed = [(node.name, tuple(a.arg for a in node.args.args[1:]))
               for node in environment.body
               if isinstance(node, ast.FunctionDef) and node.name in kinds]
    registered = [name for name in vars(orv_engine.Environment) if name in kinds]
    assert stubbed == [(name, kinds[name]) for name in registered]
    assert len(registered) == len(kinds)
