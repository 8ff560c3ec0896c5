"""The module itself: its attributes, signatures, and the interpreter check on import."""

import os
import shutil
import subprocess
import textwrap

import pytest

import orv_engine as orv

FLOAT_PARAM = "typing.SupportsFloat | typing.SupportsIndex"


def test_module_exposes_exactly_the_engine_classes_and_polarity_members():
    public = {name for name in vars(orv) if not name.startswith("_")}
    assert public == {
        "ChargePolarity",
        "POSITIVE",
        "NEGATIVE",
        "NEUTRAL",
        "Charge",
        "Environment",
        "NarrativeSequencer",
    }
    assert orv.__doc__ == "Brindlewick Engine Python Bindings"
    assert all(isinstance(getattr(orv, name), type) for name in
               ("ChargePolarity", "Charge", "Environment", "NarrativeSequencer"))


@pytest.mark.parametrize(
    ("function", "signature"),
    [
        (orv.Charge.__init__,
         f"__init__(self: orv_engine.Charge, magnitude: {FLOAT_PARAM}, "
         "polarity: orv_engine.ChargePolarity, visual_id: str) -> None"),
        (orv.Charge.to_json, "to_json(self: orv_engine.Charge) -> str"),
        (orv.Environment.__init__, "__init__(self: orv_engine.Environment, id: str) -> None"),
        (orv.Environment.to_json, "to_json(self: orv_engine.Environment) -> str"),
        (orv.Environment.add_charge,
         f"add_charge(self: orv_engine.Environment, magnitude: {FLOAT_PARAM}, "
         "polarity: orv_engine.ChargePolarity, visual_id: str) -> None"),
        (orv.Environment.add_sub_environment,
         "add_sub_environment(self: orv_engine.Environment, sub_env: orv_engine.Environment)"
         " -> None"),
        (orv.Environment.add_plus_magician,
         "add_plus_magician(self: orv_engine.Environment, visual_id: str) -> None"),
        (orv.Environment.add_equals_gate,
         f"add_equals_gate(self: orv_engine.Environment, visual_id: str, target: {FLOAT_PARAM})"
         " -> None"),
        (orv.Environment.add_inequality_gate,
         "add_inequality_gate(self: orv_engine.Environment, visual_id: str, "
         f"target: {FLOAT_PARAM}, comparison_type: str) -> None"),
        (orv.NarrativeSequencer.__init__,
         "__init__(self: orv_engine.NarrativeSequencer, env: orv_engine.Environment) -> None"),
        (orv.NarrativeSequencer.next_frame,
         "next_frame(self: orv_engine.NarrativeSequencer) -> str"),
    ],
    ids=lambda value: getattr(value, "__qualname__", None) if callable(value) else "",
)
def test_docstrings_are_only_the_signature_line(function, signature):
    assert function.__doc__ == signature + "\n"


@pytest.mark.parametrize(
    ("cls", "attribute", "read_type", "write_type"),
    [
        (orv.Charge, "magnitude", "float", FLOAT_PARAM),
        (orv.Charge, "polarity", "orv_engine.ChargePolarity", "orv_engine.ChargePolarity"),
        (orv.Charge, "visual_id", "str", "str"),
        (orv.Environment, "id", "str", "str"),
        (orv.Environment, "charges", "list[orv_engine.Charge]",
         "collections.abc.Sequence[orv_engine.Charge]"),
        (orv.Environment, "is_time_frozen", "bool", "bool"),
        (orv.NarrativeSequencer, "is_finished", "bool", "bool"),
        (orv.NarrativeSequencer, "current_frame", "int", "typing.SupportsInt | typing.SupportsIndex"),
    ],
)
def test_attributes_show_their_types(cls, attribute, read_type, write_type):
    prop = vars(cls)[attribute]
    owner = f"orv_engine.{cls.__name__}"
    assert prop.fget.__doc__ == f"(self: {owner}) -> {read_type}\n"
    assert prop.fset.__doc__ == f"(self: {owner}, arg0: {write_type}) -> None\n"


@pytest.mark.parametrize(
    "make",
    [
        lambda: orv.Charge(1, orv.POSITIVE, "c"),
        lambda: orv.Environment("z"),
        lambda: orv.NarrativeSequencer(orv.Environment("z")),
    ],
    ids=["Charge", "Environment", "NarrativeSequencer"],
)
def test_instances_refuse_new_attributes(make):
    with pytest.raises(AttributeError):
        make().colour = "red"


def find_python313():
    env = dict(os.environ, PYENV_VERSION="3.13")
    for candidate in (shutil.which("python3.13"),):
        if candidate and subprocess.run([candidate, "-c", "import sys; assert sys.version_info[:2] == (3, 13)"],
                                        env=env, capture_output=True).returncode == 0:
            return candidate, env
    return None, env


def test_other_interpreter_versions_get_the_version_mismatch_import_error(tmp_path):
    python313, env = find_python313()
    if python313 is None:
        pytest.skip("python3.13 is not installed")
    # CPython 3.13 only looks at its own tag and the plain ".so" suffix.
    shutil.copy(orv.__file__, tmp_path / "orv_engine.so")
    script = textwrap.dedent(f"""
        import sys
        sys.path.insert(0, {str(tmp_path)!r})
        try:
            import orv_engine
        except ImportError as error:
            print(error)
            print("loaded" if "orv_engine" in sys.modules else "not loaded")
    """)
    result = subprocess.run([python313, "-c", script], env=env, capture_output=True, text=True,
                            check=True)
    message, loaded = result.stdout.splitlines()
    version = subprocess.run([python313, "-c", "import sys; print(sys.version)"], env=env,
                             capture_output=True, text=True, check=True).stdout.strip()
    assert message == ("Python version mismatch: module was compiled for Python 3.12, but the "
                       f"interpreter version is incompatible: {version}.")
    assert loaded == "not loaded"

