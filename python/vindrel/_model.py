"""A model as an object: its states and parameters by symbol, its runs."""

import collections
import collections.abc
import difflib
import numbers
import os
import warnings

from . import _vindrel
from ._errors import RunRefused, SpinUpFailed
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

    def __getnewargs__(self):
        return (*self, self._printed)


class RunWarning(UserWarning):
    """What ``vindrel-cli run`` prints as a warning before it runs (the same
    text): an output step corrected, drivers that end before the stop time, a
    value no stand or weather has, a continuation out of step with its states."""


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
        """The 1-based position of the entry a name picks: its symbol ("Cf"),
        its table and symbol ("state:Cf") or position ("state#1"), or its
        position (1, a Python or numpy integer), as names are taken
        everywhere in the program."""
        if isinstance(key, numbers.Integral) and not isinstance(key, bool):
            key = int(key)
        try:
            return self._core.position(self._table, str(key))
        except KeyError as error:
            message = error.args[0]
            if message.startswith("unknown") and not isinstance(key, int):
                close = _close_matches(key, list(self._by_symbol))
                if close:
                    message += "; close matches: " + ", ".join(close)
            raise KeyError(message) from None

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
    takes them: a text is taken as it is, positions (Python or numpy integers)
    become their digits."""
    if isinstance(given, str):
        return given
    if isinstance(given, numbers.Integral):
        return str(int(given))
    return ",".join(str(int(item)) if isinstance(item, numbers.Integral) else str(item)
                    for item in given)


def _options(options):
    """The run options as the preparation every front end shares takes them,
    with its defaults for those not given."""
    unknown = set(options) - _OPTION_NAMES
    if unknown:
        raise TypeError("unknown run option " + ", ".join(sorted(map(repr, unknown))) +
                        "; the options are " + ", ".join(sorted(_OPTION_NAMES)))
    given = dict(options)
    for key in ("reset", "hold"):
        if key in given:
            given[key] = "" if given[key] is None else _name_list(given[key])
    if given.get("variables") is not None:
        given["variables"] = _name_list(given["variables"])
    for key in ("start", "stop", "step", "output_step", "first_start", "rtol"):
        if given.get(key) is not None:
            given[key] = float(given[key])
    for key in ("repeat_drivers", "reset_every"):
        if given.get(key) is not None:
            given[key] = int(given[key])
    return _vindrel.RunOptions(**given)


_OPTION_NAMES = {"start", "stop", "step", "output_step", "repeat_drivers", "first_start",
                 "reset_every", "reset", "hold", "integrator", "rtol", "variables", "strict"}


def _prepare(core, options, stacklevel=3):
    """Prepares a run as the command line does: a mistake in the options
    raises ValueError (KeyError for a name that picks nothing), a refusal
    RunRefused, and each warning comes as a RunWarning."""
    request = _vindrel.prepare(core, _options(options))
    findings = [Finding(*finding) for finding in request.findings]
    refusals = [f for f in findings if f.level == "refusal"]
    if refusals:
        raise RunRefused(refusals)
    for finding in findings:
        warnings.warn(str(finding), RunWarning, stacklevel=stacklevel)
    return request


class Model:
    """A model: its parameters and initial states, and the driver file its runs
    read. ``parameters`` and ``states`` read and set values by symbol."""

    def __init__(self, core):
        self._core = core
        self.parameters = Table(core, "parameter")
        self.states = Table(core, "state")

    def __reduce__(self):
        # Pickles as its tables' values and flags, its files and where a run
        # left it, so that process pools and Dask can carry it.
        return (Model, (self._core,))

    def __copy__(self):
        return self.copy()

    def __deepcopy__(self, memo):
        return self.copy()

    @classmethod
    def from_files(cls, parameter_file, driver_file):
        """Reads a parameter file (.par) and names the driver file (.drr) that
        runs read; raises FileError for a file that cannot be read (a
        FileMissing, which is a FileNotFoundError, for one that does not
        exist). The names are kept as absolute paths, so that a change of the
        working folder changes nothing."""
        names = [os.path.abspath(os.fspath(path)) for path in (parameter_file, driver_file)]
        return cls(_vindrel.Model.from_files(*names))

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
        self._core.driver_file = os.path.abspath(os.fspath(path))

    @property
    def end_time(self):
        """For the model a run ended with: the time its states are at (days);
        None for a model read from files."""
        return self._core.end_time

    @property
    def first_start(self):
        """For the model a run ended with: the start of the series of runs its
        states come from, which a continuation gives as ``first_start``."""
        return self._core.first_start

    def run(self, **options):
        """Runs the model and returns its Result; the model itself is not
        changed (``result.final_model`` is the model at the end, which knows
        the time it ended at). The options, their defaults and their rules are
        those of ``vindrel-cli run``: ``start`` and ``stop`` (days, 1 and 2 when
        not given), ``step`` (1), ``output_step`` (default: ``step``),
        ``repeat_drivers`` (the driver time at which the drivers start again
        from the start time), ``first_start`` (the start of the run this one
        continues), ``reset_every`` with ``reset`` (states put back to their
        start values), ``hold`` (states held constant; both lists of symbols
        or positions, or one text "Cf,Nf"), ``integrator`` ("rk4", "dopri5",
        "rkf78"), ``rtol`` (the embedded pairs' tolerance, 5e-8 when not
        given; rk4 keeps the model's own) and ``strict`` (every warning
        refuses the run). ``variables`` keeps only the named output variables
        (symbols, "process:Ts", "state#5", "Leaf Area Index", or the groups
        "drivers", "states", "processes", "summary"); the time is always kept.

        The run is checked as the command line checks it, on the model as it
        is in memory: a bad option raises ValueError, an unknown name
        KeyError, what the check refuses RunRefused (a FileError, with the
        file and the line); warnings of the command line come as RunWarning,
        with its text. A run that fails raises RunFailed (a subclass per
        kind)."""
        request = _prepare(self._core, options)
        outcome = run_failure_or_result(_vindrel.run(self._core, request), Model)
        if isinstance(outcome, BaseException):
            raise outcome
        return outcome

    def spin_up(self, tolerance=1e-6, max_years=10000, **options):
        """The model at the periodic steady state of its repeated weather: the
        states at the start of a weather cycle that one whole cycle maps onto
        themselves, to ``tolerance`` (the largest relative drift of a carbon,
        nitrogen or water pool over one cycle), as ``vindrel-cli spinup``
        finds them. ``repeat_drivers`` is required; the other options are
        those of run() (dopri5 by default). The model returned knows where it
        stands (``end_time``, ``first_start``) and carries the cycles in
        ``spin_up_report``; a stand that does not settle raises SpinUpFailed
        with the best model found."""
        if options.get("repeat_drivers") is None:
            raise ValueError("repeat_drivers: a spin-up needs the weather repeated; give the "
                             "driver time at which it returns to the start")
        options.setdefault("integrator", "dopri5")
        options.setdefault("stop", float(options["repeat_drivers"]) + float(options.get("step", 1)))
        request = _prepare(self._core, options)
        outcome, core, drift, years, cycles, failure = _vindrel.spin_up(
            self._core, request, float(tolerance), float(max_years))
        model = Model(core)
        model.spin_up_report = [dict(zip(("cycle", "simulated_years", "accelerated", "carbon",
                                          "nitrogen", "water"), cycle)) for cycle in cycles]
        if outcome != "settled":
            raise SpinUpFailed(outcome, dict(zip(("carbon", "nitrogen", "water"), drift)), years,
                               failure, model)
        return model

    def check(self, **options):
        """What a run of this model with these options (those of run()) would
        be refused for or warned about, as ``vindrel-cli check`` finds it: the
        model's values as they are in memory (with the parameter file's lines
        for those still as it gives them), the settings with its states, and
        the driver file. A list of Finding, empty when all is well; a mistake
        in the options raises as in run()."""
        request = _vindrel.prepare(self._core, _options(options))
        return [Finding(*finding) for finding in request.findings]

    def __repr__(self):
        return (f"<vindrel.Model {self._core.model_name} {self._core.model_version}: "
                f"{self.parameter_file!r}, {self.driver_file!r}>")


def run_many(models, jobs=None, **options):
    """Runs every model with the same options on ``jobs`` threads (default:
    the processors) and returns the results in the models' order; a run that
    failed, or that the check refused (RunRefused, a FileError), has its
    exception object in its place. Each model is checked as Model.run checks
    it, its warnings coming as RunWarning. The options are those of Model.run."""
    models = list(models)
    jobs = (os.cpu_count() or 1) if jobs is None else int(jobs)
    if jobs < 1:
        raise ValueError(f"jobs: expected a number of threads of at least 1, found {jobs}")
    slots = [None] * len(models)
    runs, places = [], []
    for i, model in enumerate(models):
        try:
            request = _prepare(model._core, options)
        except OSError as error:
            slots[i] = error
            continue
        runs.append((model._core, request))
        places.append(i)
    for i, output in zip(places, _vindrel.run_many(runs, jobs)):
        slots[i] = run_failure_or_result(output, Model)
    return slots


def run(parameter_file, driver_file, **options):
    """Reads the files and runs the model once: ``Model.from_files(...)
    .run(**options)``."""
    return Model.from_files(parameter_file, driver_file).run(**options)
