"""A run's result: its records in memory as numpy arrays and a DataFrame, its
final model, its annual summary; and output files read back."""

import io
import os

from . import _vindrel
from ._errors import run_failure


def _output_field(name, doc):
    """A read-only property that passes on the run output's field `name`."""
    return property(lambda self: getattr(self._output, name), doc=doc)


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
        self._final_model = None

    def __reduce__(self):
        from ._model import Model

        return (Result, (self._output, Model))

    def __getitem__(self, column):
        """The array of one column, by the names of ``columns``: ``r["LAI"]``."""
        try:
            return self.arrays[column]
        except KeyError:
            raise KeyError(f"no column {column!r} in the result") from None

    outcome = _output_field(
        "outcome", '"completed", or "failed" for the result a RunFailed carries.')
    present_time = _output_field("present_time", "The model time reached, days.")
    steps_completed = _output_field("steps_completed", "The time steps completed.")
    records_written = _output_field("records_written", "The output records written.")

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
        """The model at the end of the run, from which a next run continues;
        one object, so that edits made to it stay."""
        if self._final_model is None:
            self._final_model = self._model_class(self._output.final_model)
        return self._final_model

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


def _columns_in_file(path, format_name, file_names):
    """The record columns (positions) that a CSV or NetCDF file holds, in its
    order, by the names it gives them; None for the model's text, which holds
    them all."""
    if format_name == "csv":
        import csv

        with open(path, newline="", encoding="utf-8") as file:
            names = next(csv.reader(file))
    elif format_name == "netcdf":
        import netCDF4

        with netCDF4.Dataset(path) as dataset:
            names = list(dataset.variables)
    else:
        return None
    position = {name: i for i, name in enumerate(file_names)}
    return [position[name] for name in names if name in position and position[name] > 0]


def read_output(path):
    """Reads a run's output file into a DataFrame indexed by time, with the
    columns of ``Result.frame()``: a model's .out file (every column), or a CSV
    or NetCDF output (the columns it holds). The format is told by the file's
    content."""
    import pandas

    path = os.fspath(path)
    format_name, keys, file_names, values = _vindrel.read_output_file(path)
    chosen = _columns_in_file(path, format_name, file_names)
    if chosen is None:
        chosen = range(1, len(keys))
    return pandas.DataFrame(values[:, chosen], index=pandas.Index(values[:, 0], name="Time"),
                            columns=[keys[i] for i in chosen], copy=False)
