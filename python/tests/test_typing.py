"""What editors, type checkers and help() see of the package: the stubs
beside the modules hold the signatures of the functions the package makes
when it is imported, the public namespaces hold the API alone, and a type
checker reads the installed package."""
import ast
import importlib.metadata
import inspect
import re
import subprocess
import sys
from pathlib import Path

import pytest

import materials
from materials import orvandel

MODULES = [materials, orvandel]


def stub(module):
    """{public name: its node} of the module's stub."""
    tree = ast.parse(Path(module.__file__).with_suffix(".pyi").read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            names[node.target.id] = node
        elif isinstance(node, ast.Assign) and getattr(node.value, "id", None) in names:  # alias
            names[node.targets[0].id] = names[node.value.id]
        elif isinstance(node, ast.ImportFrom):
            names.update({a.asname: node for a in node.names if a.asname})
    return {n: node for n, node in names.items() if not n.startswith("_")}


def stub_parameters(function):
    """[(name, kind, default)] of a stub's def, as inspect gives them."""
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [inspect.Parameter.empty] * (len(positional) - len(arguments.defaults)) + [
        ast.literal_eval(d) for d in arguments.defaults
    ]
    kind = inspect.Parameter
    found = [(a.arg, kind.POSITIONAL_OR_KEYWORD, d) for a, d in zip(positional, defaults)]
    if arguments.vararg:
        found.append((arguments.vararg.arg, kind.VAR_POSITIONAL, kind.empty))
    found += [
        (a.arg, kind.KEYWORD_ONLY, kind.empty if d is None else ast.literal_eval(d))
        for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)
    ]
    return found


def runtime_parameters(function):
    return [(p.name, p.kind, p.default) for p in inspect.signature(function).parameters.values()]


@pytest.mark.parametrize("module", MODULES, ids=lambda m: m.__name__)
def test_stub_holds_the_signatures_the_package_makes(module):
    names = stub(module)
    assert sorted(names) == sorted(module.__all__)
    for name, node in names.items():
        runtime = getattr(module, name)
        if isinstance(node, ast.FunctionDef):
            assert stub_parameters(node) == runtime_parameters(runtime), name
        elif isinstance(node, ast.ClassDef):
            for method in (n for n in node.body if isinstance(n, ast.FunctionDef)):
                assert stub_parameters(method) == runtime_parameters(
                    getattr(runtime, method.name)
                ), f"{name}.{method.name}"
    assert (Path(module.__file__).parent / "py.typed").is_file()


@pytest.mark.parametrize("module", MODULES, ids=lambda m: m.__name__)
def test_public_namespace_is_the_api(module):
    public = {n for n in dir(module) if not n.startswith("_")}
    assert public == set(module.__all__)
    assert all(f.__doc__ for f in map(module.__getattribute__, module.__all__) if callable(f))


def test_help_shows_the_host_functions():
    text = inspect.getdoc(materials.Daskelt)
    assert str(inspect.signature(materials.Daskelt)) == (
        "(T, RRR=100.0, dividend=1.0, divisor=1.0, *, out=None)"
    )
    # The catalogue's ranges in words, with no unit for a dimensionless one.
    assert "Meaningful from 50 to 500: the RRR" in text and "OutsideMeaningfulRange" in text


def test_version_is_the_projects():
    cmake_lists = Path(__file__).resolve().parents[2] / "CMakeLists.txt"
    declared = re.search(r"project\(\w+ VERSION ([0-9.]+)", cmake_lists.read_text()).group(1)
    assert materials.__version__ == importlib.metadata.version("materials") == declared


def test_a_type_checker_reads_the_installed_package(tmp_path):
    """mypy, as a user's editor would run it, on a use of the package: the
    right calls pass, a misspelt argument and a missing one do not."""
    pytest.importorskip("mypy")
    program = tmp_path / "use.py"
    program.write_text(
        "import materials\n"
        "from materials.orvandel import EXAMPLE_CELLS, bhyst\n"
        "k = materials.Daskelt([4.0, 77.0], RRR=300, out=None)\n"
        "E = materials.Quenrow(0, 1e10)\n"
        "model = materials.VectorHysteresis(**EXAMPLE_CELLS, shape=2)\n"
        "B, mu = model.evaluate([1.0, 0.0, 0.0])\n"
        "materials.Wembrel(77, RR=3)\n"
        "bhyst(1, 2)\n"
    )
    checked = subprocess.run(
        [
            sys.executable,
            "-m",
            "mypy",
            "--no-incremental",
            "--cache-dir",
            str(tmp_path),
            program,
        ],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )
    errors = [line for line in checked.stdout.splitlines() if ": error:" in line]
    assert [e.split(":")[1] for e in errors] == ["7", "8"], checked.stdout
    assert '"RR"' in errors[0] and "Missing positional arguments" in errors[1]
