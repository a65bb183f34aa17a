"""The exceptions of the vindrel module.

A failed run raises RunFailed, or the subclass for its kind of failure. Each
carries when and where the run stopped as attributes, and the run's result up
to that point (``result``: its records so far, its final model).
"""


class FileError(OSError):
    """A file that cannot be read or written: the file, the line (0 when no line
    applies) and what was expected. ``str()`` reads ``FILE:LINE: MESSAGE``."""

    def __init__(self, text, file="", line=0, message=""):
        super().__init__(text)
        self.file = file
        self.line = line
        self.message = message or text

    def __str__(self):
        return self.args[0]

    def __reduce__(self):
        return (type(self), (self.args[0], self.file, self.line, self.message))


class FileMissing(FileError, FileNotFoundError):
    """A file named for reading that does not exist."""


class FileDenied(FileError, PermissionError):
    """A file that may not be read or written."""


class RunRefused(FileError):
    """A run that the check refuses before it starts, as ``vindrel-cli run``
    refuses it: ``findings`` lists every refusal; ``file`` and ``line`` are the
    first one's ("" and 0 when it is about the settings)."""

    def __init__(self, findings):
        first = findings[0]
        super().__init__("\n".join(str(f) for f in findings), file=first.file, line=first.line,
                         message=first.text)
        self.findings = list(findings)

    def __reduce__(self):
        return (type(self), (self.findings,))


class SpinUpFailed(Exception):
    """A spin-up that did not settle: ``outcome`` ("not settled", "died out",
    "failed"), ``drift`` (the best states' largest relative drift per pool
    group over one cycle), ``simulated_years``, ``failure`` (a failed run's
    message) and ``best``, the best model found."""

    def __init__(self, outcome, drift, simulated_years, failure="", best=None):
        text = f"the stand did not settle ({outcome}"
        text += f": {failure})" if failure else ")"
        text += (f" after {simulated_years:g} simulated years; the best states drift by "
                 + ", ".join(f"{k} {v:.2e}" for k, v in drift.items()))
        super().__init__(text)
        self.outcome, self.drift, self.simulated_years = outcome, drift, simulated_years
        self.failure, self.best = failure, best

    def __reduce__(self):
        return (type(self), (self.outcome, self.drift, self.simulated_years, self.failure,
                             self.best))


class RunFailed(Exception):
    """A run that ended in a failure.

    Attributes: ``message`` (the model's message), ``detail`` (when and where,
    one item per line, as ``vindrel-cli run`` prints it after the message),
    ``place`` ("start time", "integration", "step end", "drivers", "output"),
    ``time`` (the model time reached, days), ``step_start`` and ``time_step``
    (the step that failed), ``driver_time``, ``records_kept``,
    ``equation_group`` (for an arithmetic fault: the group of equations where
    it arose, or ""), ``limiting_state`` (for a step too small: the symbol of
    the state that limited the step, or None) and ``limiting_position``, and
    ``result``: the run up to the failure (records so far and the states of
    the last completed step).
    """

    def __init__(self, output, result):
        text = output.message
        if output.detail_text:
            text += "\n" + output.detail_text.rstrip("\n")
        super().__init__(text)
        self.message = output.message
        self.detail = output.detail_text.rstrip("\n")
        self.place = output.place
        self.time = output.time_reached
        self.step_start = output.failed_step_start
        self.time_step = output.time_step
        self.driver_time = output.driver_time
        self.records_kept = output.records_kept
        self.equation_group = output.equation_group
        self.limiting_position = output.limiting_state
        self.limiting_state = output.limiting_symbol or None
        self.step_growth_limited = output.step_growth_limited
        self.result = result

    def __reduce__(self):
        # The run's output carries everything the exception says; the
        # exception is made again from it in the process that unpickles it.
        return (_failure_from_output, (self.result._output,))

    @property
    def records(self):
        """The records written before the failure, as a DataFrame."""
        return self.result.frame()


class IntegratorFailed(RunFailed):
    """The integrator could not advance the states over a time step."""


class StepTooSmall(IntegratorFailed):
    """The step the integrator needed fell below the smallest it allows."""


class TooManySteps(IntegratorFailed):
    """The integrator needed more than 10000 steps in one time step."""


class ArithmeticFault(RunFailed):
    """An arithmetic fault in the equations."""


class DivisionByZero(ArithmeticFault):
    """A division by zero (the pole of a logarithm included)."""


class InvalidOperation(ArithmeticFault):
    """An invalid operation or an overflow: a value that is not a number."""


class FileFailed(RunFailed):
    """A file that failed during the run (the driver file's records).
    ``file`` and ``line`` name where."""

    def __init__(self, output, result):
        super().__init__(output, result)
        self.file = output.failed_file
        self.line = output.failed_line


_KINDS = {
    cls.__name__: cls
    for cls in (RunFailed, IntegratorFailed, StepTooSmall, TooManySteps, ArithmeticFault,
                DivisionByZero, InvalidOperation, FileFailed)
}


def run_failure(output, result):
    """The exception that reports a failed run."""
    return _KINDS.get(output.failure_kind, RunFailed)(output, result)


def _failure_from_output(output):
    from ._model import Model
    from ._result import Result

    return run_failure(output, Result(output, Model))
