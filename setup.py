"""Builds the extension module of `pip install .` with the project's CMake.

The build configures the headless libraries and the module alone (no desktop,
no tests) for the Python that runs pip, in build/pip below the checkout, so a
second install only relinks what changed. VINDREL_CMAKE_BUILD_DIR names an
already configured build folder to take the module from instead.
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

ROOT = pathlib.Path(__file__).resolve().parent


class BuildWithCMake(build_py):
    def run(self):
        build = pathlib.Path(os.environ.get("VINDREL_CMAKE_BUILD_DIR", ROOT / "build" / "pip"))
        if not (build / "CMakeCache.txt").exists():
            subprocess.check_call([
                "cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                "-DCMAKE_BUILD_TYPE=Release", "-DVINDREL_BUILD_TESTS=OFF",
                "-DVINDREL_BUILD_DESKTOP=OFF", "-DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON",
                f"-DPython3_EXECUTABLE={sys.executable}"])
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_vindrel"])
        super().run()
        target = pathlib.Path(self.build_lib) / "vindrel"
        target.mkdir(parents=True, exist_ok=True)
        for module in (build / "python" / "vindrel").glob("_vindrel*.so"):
            shutil.copy2(module, target / module.name)


setup(
    packages=["vindrel"],
    package_dir={"vindrel": "python/vindrel"},
    cmdclass={"build_py": BuildWithCMake},
)
