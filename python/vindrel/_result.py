"""A run's result: its records in memory as numpy arrays and a DataFrame, its
final model, its annual summary; and output files read back."""

import io
import os

from . import _vindrel
from ._errors import run_failure


class Result:
    """One run's records and end.

    ``arrays`` maps each column (by symbol, the time as "Time") to a numpy
    array that views the run's own memory (read-only); ``values`` is the whole
    table, one row per record. ``frame()`` gives a pandas DataFrame indexed by
    time, ``summary()`` the annual summary, ``final_model`` the model at the
    end of the run, from which a next run continues."""

    def __init__(self, output, model_class):
        self._output = output
        self._model_class = model_class
        self._values = output.values
        self._arrays = None

    @property
    def outcome(self):
        """"completed", or "failed" for the result a RunFailed carries."""
        return self._output.outcome

    @property
    def present_time(self):
        """The model time reached, days."""
        return self._output.present_time

    @property
    def steps_completed(self):
        return self._output.steps_completed

    @property
    def records_written(self):
        return self._output.records_written

    @property
    def columns(self):
        """The column names, the time first."""
        return list(self._output.column_keys)

    @property
    def values(self):
        """All records, one row each, in the order of ``columns``."""
        return self._values

    @property
    def arrays(self):
        if self._arrays is None:
            self._arrays = {key: self._values[:, i] for i, key in enumerate(self._output.column_keys)}
        return self._arrays

    @property
    def time(self):
        return self._values[:, 0]

    def __len__(self):
        return self._values.shape[0]

    def frame(self, columns=None):
        """The records as a DataFrame indexed by time (a copy), with every
        column or the named ones."""
        import pandas

        keys = self._output.column_keys
        index = pandas.Index(self._values[:, 0], name="Time")
        if columns is None:
            return pandas.DataFrame(self._values[:, 1:], index=index, columns=keys[1:], copy=True)
        if isinstance(columns, str):
            columns = [columns]
        missing = [c for c in columns if c not in self.arrays]
        if missing:
            raise KeyError(f"no column {', '.join(map(repr, missing))} in the result")
        return pandas.DataFrame({c: self.arrays[c] for c in columns}, index=index, copy=True)

    @property
    def final_model(self):
        return self._model_class(self._output.final_model)

    def summary(self):
        """The annual summary (``vindrel-cli summary --csv``), one row per model
        year, indexed by year."""
        import pandas

        return pandas.read_csv(io.StringIO(self._output.summary_csv()), index_col=0)

    def __repr__(self):
        return (f"<vindrel.Result {self.outcome} at time {self.present_time:g}: "
                f"{len(self)} records of {self._values.shape[1]} columns>")


def run_failure_or_result(output, model_class):
    """The Result of a completed run, or the exception that reports its failure."""
    result = Result(output, model_class)
    if output.outcome == "failed":
        return run_failure(output, result)
    return result


def read_output(path):
    """Reads an output file into a DataFrame indexed by time, with the columns
    of a run's records (``Result.frame()``): a model's .out file."""
    import pandas

    path = os.fspath(path)
    keys, values = _vindrel.read_output_file(path)
    return pandas.DataFrame(values[:, 1:], index=pandas.Index(values[:, 0], name="Time"),
                            columns=keys[1:], copy=False)
