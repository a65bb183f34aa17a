"""Fixtures of the module's tests: the example stand, the command line built
beside the module, and a scratch folder."""

import os
import pathlib
import subprocess

import pytest

import vindrel

SOURCE_DIR = pathlib.Path(os.environ.get("VINDREL_SOURCE_DIR",
                                         pathlib.Path(__file__).resolve().parents[2]))
EXAMPLE_PAR = SOURCE_DIR / "examples" / "vindrel-example.par"
EXAMPLE_DRR = SOURCE_DIR / "examples" / "vindrel-example.drr"


@pytest.fixture
def model():
    return vindrel.Model.from_files(EXAMPLE_PAR, EXAMPLE_DRR)


@pytest.fixture
def cli():
    """Runs vindrel-cli with the given arguments; returns the finished process."""
    program = os.environ.get("VINDREL_CLI")
    if not program:
        pytest.skip("VINDREL_CLI names no vindrel-cli")

    def run(*arguments, check=True):
        return subprocess.run([program, *map(str, arguments)], capture_output=True, text=True,
                              check=check)

    return run
