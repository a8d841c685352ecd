"""Builds the seven native libraries with CMake from the repository this
folder belongs to and carries them inside the package (materials/lib/), with
the package's own compiled loops (from native/, into lib/ beside them) and the
catalogue of host functions (materials/catalogue.json). The version is the
project's, from CMakeLists.txt. Everything else is in pyproject.toml.

Environment: CMAKE (the cmake program, default "cmake"), MATERIALS_BUILD_JOBS
(parallel build jobs, default all cores)."""
import json
import os
import runpy
import shutil
import subprocess
import sys
from pathlib import Path

try:
    from setuptools import setup
    from setuptools.command.build_py import build_py
    from wheel.bdist_wheel import bdist_wheel
except ModuleNotFoundError as missing:
    # pip --no-build-isolation builds with what this Python has: a pyenv or
    # conda Python may lack what Debian's python3 has with its packages.
    sys.exit(
        f"building materials needs the module {missing.name}, which {sys.executable} lacks: "
        "build from a venv of /usr/bin/python3 (apt-get install python3-setuptools "
        "python3-wheel), or install setuptools and wheel into this Python"
    )

HERE = Path(__file__).resolve().parent
REPOSITORY = HERE.parent
CATALOGUE = REPOSITORY / "common" / "catalogue.json"


# The package's rule for a library's file name, run from its source before
# the package is built (it needs nothing beyond the standard library).
_files = runpy.run_path(str(HERE / "materials" / "_files.py"))
library_file = _files["library_file"]


class BuildWithLibraries(build_py):
    """build_py, then the native libraries into the package's lib/."""

    def run(self):
        super().run()
        package = Path(self.build_lib) / "materials"
        (package / "lib").mkdir(parents=True, exist_ok=True)
        shutil.copy2(CATALOGUE, package / "catalogue.json")
        names = [f["name"] for f in json.loads(CATALOGUE.read_text())["functions"]]
        names.append(_files["ARRAY_LOOPS"])
        binary = self.build_libraries(names)
        for name in names:
            shutil.copy2(binary / library_file(name), package / "lib" / library_file(name))

    def build_libraries(self, names):
        cmake = os.environ.get("CMAKE", "cmake")
        if shutil.which(cmake) is None:
            sys.exit(
                "building the material libraries needs CMake and a C++ compiler: "
                "apt-get install cmake g++"
            )
        build = Path(self.get_finalized_command("build").build_temp).resolve() / "cmake"
        # Only the libraries and the loops: the host program, tests and
        # benchmarks are not part of the package.
        subprocess.run(
            [
                cmake,
                "-S",
                str(REPOSITORY),
                "-B",
                str(build),
                "-DCMAKE_BUILD_TYPE=Release",
                "-DMATERIAL_BUILD_TESTS=OFF",
            ],
            check=True,
            stdout=subprocess.DEVNULL,
        )
        jobs = os.environ.get("MATERIALS_BUILD_JOBS", str(os.cpu_count() or 1))
        subprocess.run([cmake, "--build", str(build), "-j", jobs, "--target", *names], check=True)
        return build / "bin"


class PlatformWheel(bdist_wheel):
    """The wheel holds native libraries, loaded with ctypes: it is for this
    platform, but for any Python 3. On x86-64 Linux the libraries and the
    loops need only libc and libm at their GLIBC_2.2.5 versions, so the
    wheel meets the manylinux2014 policy (glibc 2.17 and newer)."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        platform = super().get_tag()[2]
        return ("py3", "none", "manylinux2014_x86_64" if platform == "linux_x86_64" else platform)


if not CATALOGUE.is_file():
    sys.exit(f"{CATALOGUE} not found: build the package from a checkout of the repository")

setup(
    version=_files["project_version"](REPOSITORY / "CMakeLists.txt"),
    cmdclass={"build_py": BuildWithLibraries, "bdist_wheel": PlatformWheel},
)
