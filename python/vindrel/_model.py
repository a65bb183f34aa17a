"""A model as an object: its states and parameters by symbol, its runs."""

import collections
import collections.abc
import difflib
import os
import warnings

from . import _vindrel
from ._result import Result, run_failure_or_result

Entry = collections.namedtuple("Entry", "symbol name units position value")


class Finding(collections.namedtuple("Finding", "level file line text")):
    """What a run's files and settings would be refused for (level "refusal")
    or warned about ("warning"): the file ("" for the settings), the line (0
    for none) and the text. ``str()`` reads as ``vindrel-cli check`` prints it."""

    def __new__(cls, level, file, line, text, printed):
        finding = super().__new__(cls, level, file, line, text)
        finding._printed = printed
        return finding

    def __str__(self):
        return self._printed


class RunWarning(UserWarning):
    """What ``vindrel-cli run`` prints as a warning before it runs: an output
    step corrected, drivers that end before the stop time."""


def _close_matches(key, symbols):
    """Symbols like ``key``: the same but for letter case first, then similar."""
    same_case = [s for s in symbols if s.lower() == str(key).lower()]
    similar = difflib.get_close_matches(str(key), symbols, n=5, cutoff=0.6)
    return list(dict.fromkeys(same_case + similar))


class Table(collections.abc.MutableMapping):
    """The states or the parameters of a model by symbol, as a dict: reading
    and setting values, in table order. A position (1-based, ``int``) is taken
    too. ``names``, ``units`` and ``positions`` map symbols to the entries'
    names, units and positions; ``entry(key)`` gives all of them at once and
    ``frame()`` the whole table."""

    def __init__(self, core, table):
        self._core = core
        self._table = table
        self._entries = core.entries(table)
        self._by_symbol = {}
        for position, (symbol, _, _) in enumerate(self._entries, start=1):
            self._by_symbol.setdefault(symbol, []).append(position)

    def position(self, key):
        """The 1-based position of the entry named by a symbol or a position."""
        count = len(self._entries)
        if isinstance(key, int) and not isinstance(key, bool):
            if 1 <= key <= count:
                return key
            raise KeyError(f"no {self._table} at position {key} (positions run from 1 to {count})")
        positions = self._by_symbol.get(key)
        if positions is None:
            message = f'no {self._table} has the symbol "{key}"'
            close = _close_matches(key, list(self._by_symbol))
            if close:
                message += "; close matches: " + ", ".join(close)
            raise KeyError(message)
        if len(positions) > 1:
            raise KeyError(f'{self._table}s {", ".join(map(str, positions))} share the symbol '
                           f'"{key}"; name the {self._table} by its position')
        return positions[0]

    def __getitem__(self, key):
        return self._core.get(self._table, self.position(key))

    def __setitem__(self, key, value):
        self._core.set(self._table, self.position(key), float(value))

    def __delitem__(self, key):
        raise TypeError(f"the model's {self._table}s cannot be removed")

    def __iter__(self):
        return iter(self._by_symbol)

    def __len__(self):
        return len(self._by_symbol)

    def __contains__(self, key):
        try:
            self.position(key)
        except KeyError:
            return False
        return True

    def entry(self, key):
        """Symbol, name, units, position and value of one entry."""
        position = self.position(key)
        symbol, name, units = self._entries[position - 1]
        return Entry(symbol, name, units, position, self._core.get(self._table, position))

    @property
    def names(self):
        return {symbol: name for symbol, name, _ in self._entries}

    @property
    def units(self):
        return {symbol: units for symbol, _, units in self._entries}

    @property
    def positions(self):
        return {symbol: positions[0] for symbol, positions in self._by_symbol.items()}

    def frame(self):
        """The table as a DataFrame: symbol, name, units and value by position."""
        import pandas

        return pandas.DataFrame(
            [(s, n, u, v) for (s, n, u), v in zip(self._entries, self._core.values(self._table))],
            columns=["symbol", "name", "units", "value"],
            index=pandas.RangeIndex(1, len(self._entries) + 1, name="position"))

    def __repr__(self):
        return f"<{self._table}s of the model: {len(self._entries)} entries>"


def _name_list(given):
    """A list of names as one text, separated by commas as the command line
    takes them: a text is taken as it is, positions become their digits."""
    if isinstance(given, str):
        return given
    return ",".join(str(item) for item in given)


def _prepare(core, start=1, stop=10980, step=1, output_step=None, repeat_drivers=None,
             reset_every=None, reset=(), hold=(), integrator="rk4", rtol=None, variables=None,
             warn=True, read_drivers=True):
    request = _vindrel.prepare(
        core, float(start), float(stop), float(step),
        None if output_step is None else float(output_step),
        None if repeat_drivers is None else int(repeat_drivers),
        None if reset_every is None else int(reset_every),
        _name_list(reset), _name_list(hold), str(integrator), None if rtol is None else float(rtol),
        None if variables is None else _name_list(variables), read_drivers)
    if warn:
        for text in request.warnings:
            warnings.warn(text, RunWarning, stacklevel=3)
    return request


class Model:
    """A model: its parameters and initial states, and the driver file its runs
    read. ``parameters`` and ``states`` read and set values by symbol."""

    def __init__(self, core):
        self._core = core
        self.parameters = Table(core, "parameter")
        self.states = Table(core, "state")

    @classmethod
    def from_files(cls, parameter_file, driver_file):
        """Reads a parameter file (.par) and names the driver file (.drr) that
        runs read; raises FileError for a file that cannot be read."""
        return cls(_vindrel.Model.from_files(os.fspath(parameter_file), os.fspath(driver_file)))

    def copy(self):
        """An independent copy: changing one changes nothing in the other."""
        return Model(self._core.copy())

    def save_par(self, path):
        """Writes the parameters and the states to a parameter file, through a
        temporary file: a failed save leaves a previous file as it was."""
        self._core.save_par(os.fspath(path))

    @property
    def parameter_file(self):
        return self._core.parameter_file

    @property
    def driver_file(self):
        return self._core.driver_file

    @driver_file.setter
    def driver_file(self, path):
        self._core.driver_file = os.fspath(path)

    def run(self, start=1, stop=10980, step=1, output_step=None, repeat_drivers=None,
            reset_every=None, reset=(), hold=(), integrator="rk4", rtol=None, variables=None):
        """Runs the model from ``start`` to ``stop`` (days) and returns its
        Result; the model itself is not changed (``result.final_model`` is the
        model at the end). The options and their rules are those of
        ``vindrel-cli run``: ``output_step`` (default: ``step``), ``repeat_drivers``
        (the driver time at which the drivers start again from the start time),
        ``reset_every`` with ``reset`` (states put back to their start values),
        ``hold`` (states held constant; both lists of symbols or positions, or
        one text "Cf,Nf"), ``integrator`` ("rk4", "dopri5", "rkf78") and
        ``rtol`` (the embedded pairs' tolerance, 5e-8 when not given; rk4
        keeps the model's own). ``variables`` keeps only the
        named output variables (symbols, "process:Ts", "state#5", "Leaf Area
        Index", or the groups "drivers", "states", "processes"); the time is
        always kept.

        A bad option raises ValueError, an unknown name KeyError, a bad driver
        file FileError; a run that fails raises RunFailed (a subclass per
        kind). Warnings of the command line come as RunWarning."""
        request = _prepare(self._core, start, stop, step, output_step,
                           repeat_drivers, reset_every, reset, hold, integrator, rtol, variables)
        outcome = run_failure_or_result(_vindrel.run(self._core, request), Model)
        if isinstance(outcome, BaseException):
            raise outcome
        return outcome

    def check(self, **run_options):
        """What a run of this model with these options (those of run()) would
        be refused for or warned about, as ``vindrel-cli check`` finds it: the
        parameter file as it is on the disk, the settings with this model's
        states, and the driver file. A list of Finding, empty when all is well;
        an option out of its range raises as in run()."""
        if not hasattr(_vindrel, "findings"):
            raise NotImplementedError("this build of vindrel has no findings library")
        request = _prepare(self._core, warn=False, read_drivers=False, **run_options)
        return [Finding(*finding) for finding in _vindrel.findings(self._core, request)]

    def __repr__(self):
        return (f"<vindrel.Model {self._core.model_name} {self._core.model_version}: "
                f"{self.parameter_file!r}, {self.driver_file!r}>")


def run_many(models, jobs=None, **options):
    """Runs every model with the same options on ``jobs`` threads (default:
    the processors) and returns the results in the models' order; a run that
    failed, or whose driver file could not be read, has its exception object
    (RunFailed, FileError) in its place. The options are those of Model.run."""
    models = list(models)
    jobs = (os.cpu_count() or 1) if jobs is None else int(jobs)
    if jobs < 1:
        raise ValueError(f"jobs: expected a number of threads of at least 1, found {jobs}")
    slots = [None] * len(models)
    runs, places = [], []
    for i, model in enumerate(models):
        try:
            request = _prepare(model._core, **options)
        except OSError as error:
            slots[i] = error
            continue
        runs.append((model._core, request))
        places.append(i)
    for i, output in zip(places, _vindrel.run_many(runs, jobs)):
        slots[i] = run_failure_or_result(output, Model)
    return slots
