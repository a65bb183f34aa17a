"""The Vindrel forest stand model in Python.

    import vindrel
    m = vindrel.Model.from_files("stand.par", "weather.drr")
    m.parameters["mF"] = 32.0
    r = m.run(start=1, stop=3660, integrator="dopri5")
    r.frame()[["LAI", "NEP"]].plot()

A run releases the interpreter's lock, so runs on several threads go in
parallel (``run_many``, or a ThreadPoolExecutor).
"""

from ._errors import (ArithmeticFault, DivisionByZero, FileError, FileDenied, FileFailed,
                      FileMissing,                      IntegratorFailed,
                      InvalidOperation, RunFailed, RunRefused, SpinUpFailed, StepTooSmall,
                      TooManySteps)
from ._model import Entry, Finding, Model, RunWarning, Table, run, run_many
from ._result import Result, read_output

__version__ = "6.4.1"

__all__ = [
    "ArithmeticFault", "DivisionByZero", "Entry", "FileDenied", "FileError", "FileMissing", "Finding", "FileFailed",
    "IntegratorFailed",
    "InvalidOperation", "Model", "Result", "RunFailed", "RunRefused", "RunWarning", "SpinUpFailed", "StepTooSmall", "Table",
    "TooManySteps", "read_output", "run", "run_many",
]
