"""Runs from Python against vindrel-cli run: the same numbers, the same rules
and messages, failures with their detail, many runs in order."""

import numpy as np
import pandas as pd
import pytest

import vindrel
from conftest import EXAMPLE_DRR, EXAMPLE_PAR


def at_output_precision(values):
    """The values as the output file keeps them: 13 significant digits."""
    return np.vectorize(lambda v: float(f"{v:.12e}"))(values)


@pytest.mark.parametrize("python_options, cli_options", [
    ({"stop": 732}, ["--stop", 732]),
    ({"start": 5, "stop": 400, "output_step": 3, "repeat_drivers": 200, "reset_every": 100,
      "reset": "Wr,Cs", "hold": ["Chw", 7], "integrator": "dopri5", "rtol": 1e-7},
     ["--start", 5, "--stop", 400, "--output-step", 3, "--repeat-drivers", 200, "--reset-every",
      100, "--reset", "Wr,Cs", "--hold", "Chw,7", "--integrator", "dopri5", "--rtol", 1e-7]),
])
def test_a_run_gives_the_numbers_of_the_command_line(model, cli, tmp_path, python_options,
                                                      cli_options):
    cli("run", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--out", tmp_path / "cli.out",
        "--quiet", *cli_options)
    from_file = vindrel.read_output(tmp_path / "cli.out")
    result = model.run(**python_options)
    frame = result.frame()
    assert list(frame.columns) == list(from_file.columns) and len(frame.columns) == 207
    assert frame.columns[18] == "Cf" and frame.columns[18 + 55 + (181 - 56)] == "NEP"  # process 181
    assert {"driver:Ts", "process:Ts", "process#99", "process#100"} <= set(frame.columns)
    np.testing.assert_array_equal(frame.index.values, from_file.index.values)
    np.testing.assert_array_equal(at_output_precision(frame.values), from_file.values)
    assert result.records_written == len(from_file)
    # The model the run ended with holds the states of its last step.
    final = result.final_model
    if frame.index[-1] == result.present_time:
        assert [final.states[s] for s in ("Cf", "Wr", "Jday")] == \
            [frame[s].iloc[-1] for s in ("Cf", "Wr", "Jday")]
    else:
        assert result.present_time == 400 and frame.index[-1] == 398
    assert model.states["Cf"] == 6.176  # the model run is left as it was


def test_records_are_arrays_sharing_the_runs_memory_and_a_summary(model, cli, tmp_path):
    result = model.run(stop=800)
    lai = result.arrays["LAI"]
    assert np.shares_memory(lai, result.values) and not lai.flags.writeable
    assert lai.shape == (799,) and result.arrays["Time"][0] == 2.0
    chosen = model.run(stop=800, variables=["LAI", "NEP"])
    assert chosen.columns == ["Time", "LAI", "NEP"]
    np.testing.assert_array_equal(chosen.arrays["NEP"], result.arrays["NEP"])
    pd.testing.assert_frame_equal(chosen.summary(), result.summary())

    cli("run", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--out", tmp_path / "cli.out",
        "--stop", 800, "--quiet")
    (tmp_path / "summary.csv").write_text(cli("summary", tmp_path / "cli.out", "--csv").stdout)
    from_cli = pd.read_csv(tmp_path / "summary.csv", index_col=0)
    pd.testing.assert_frame_equal(result.summary(), from_cli, rtol=1e-12)
    assert result.summary().loc[3, "complete"] == 0

    with pytest.raises(KeyError) as error:
        model.run(stop=10, variables=["LIA"])
    assert error.value.args[0].startswith('variables: unknown output variable "LIA": expected')
    assert error.value.args[0].endswith("; close matches: LAI")


@pytest.mark.parametrize("options, arguments, message", [
    ({"stop": 1}, ["--stop", 1], "stop: expected a time after the start time 1, found 1"),
    ({"stop": 10, "step": 20}, ["--stop", 10, "--step", 20],
     "step: the time step of 20 days is longer than the run from start to stop (9 days); no "
     "step would be taken"),
    ({"step": 0}, ["--step", 0], "step: expected a number of days greater than 0, found 0"),
    ({"stop": float("inf")}, ["--stop", "inf"],
     "stop: expected a finite number of days, found +Inf"),
    ({"output_step": 0}, ["--output-step", 0],
     "output_step: expected a number of days greater than 0, found 0"),
    ({"repeat_drivers": 0}, ["--repeat-drivers", 0],
     "repeat_drivers: expected a whole number of days greater than 0, found 0"),
    ({"reset_every": 0, "reset": "Cf"}, ["--reset-every", 0, "--reset", "Cf"],
     "reset_every: expected a whole number of days greater than 0, found 0"),
    ({"reset_every": 10}, ["--reset-every", 10], "reset_every requires reset"),
    ({"integrator": "euler"}, ["--integrator", "euler"],
     'integrator: "euler" is not one of rk4, dopri5, rkf78'),
    ({"rtol": 1}, ["--rtol", 1],
     "rtol: expected a relative tolerance greater than 0 and less than 1, found 1"),
    ({"hold": "Cf,,Nf"}, ["--hold", "Cf,,Nf"],
     'hold: the list "Cf,,Nf" has an empty name; name states by symbol or position, separated '
     'by commas (Cf,Nf)'),
])
def test_options_are_checked_with_the_names_python_gives_them(model, cli, tmp_path, options,
                                                              arguments, message):
    with pytest.raises(ValueError) as error:
        model.run(**options)
    assert str(error.value) == message
    # The command line's sentence is the same one, with its own option names.
    printed = cli("run", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--out",
                  tmp_path / "x.out", "--quiet", *arguments, check=False)
    assert printed.returncode == 2
    assert printed.stderr.startswith("vindrel-cli: error: --")


def test_warnings_and_names_of_the_options(model):
    with pytest.warns(vindrel.RunWarning) as caught:
        result = model.run(stop=11, step=2, output_step=3)
    assert str(caught[0].message) == ("Output time step must be a multiple of simulation time "
                                      "step. Output time step changed to current time step.")
    assert result.arrays["Time"].tolist() == [3, 5, 7, 9, 11]
    with pytest.warns(vindrel.RunWarning, match="the driver file ends at day 10980"):
        model.run(start=10970, stop=10990)
    with pytest.warns(vindrel.RunWarning, match="^rtol has no effect with rk4, which keeps"):
        model.run(stop=3, rtol=1e-6)
    with pytest.raises(KeyError) as error:
        model.run(stop=10, hold=["Cf", "Nff"])
    assert error.value.args[0].startswith('hold: unknown state "Nff": expected a state')
    assert error.value.args[0].endswith("; close matches: Nf, Nlf")
    with pytest.raises(KeyError) as error:
        model.run(stop=10, variables="Ts")
    assert error.value.args[0] == ('variables: ambiguous output variable "Ts": it names '
                                   'driver:Ts, process:Ts; name one of them')
    chosen = model.run(stop=10, variables=["Leaf Area Index", "process:Ts", "state#1", "Time"],
                       hold=[3, "Nf"])
    assert chosen.columns == ["Time", "LAI", "process:Ts", "Cf"]


def test_a_failed_run_raises_its_kind_with_the_detail_and_the_records_so_far(model, cli, tmp_path):
    # A run of the studies guide's Sobol design that the step-size control ends.
    model.parameters.update(Clfwmax=395.8696033991781, aNf=1.1898689625806058,
                            Q10D=1.6790864383289414)
    with pytest.raises(vindrel.StepTooSmall) as caught:
        model.run(stop=400)
    failure = caught.value
    assert isinstance(failure, vindrel.IntegratorFailed)
    assert failure.message == "Step size too small in routine ODEIntegrator"
    assert (failure.place, failure.time, failure.step_start, failure.time_step) == \
        ("integration", 329.0, 329.0, 1.0)
    assert failure.records_kept == 328 and len(failure.result) == 328
    assert failure.records.index[-1] == 329.0
    assert failure.result.final_model.states["Cf"] == failure.records["Cf"].iloc[-1]
    assert str(failure).splitlines()[1:3] == [
        "  in the step from 329 to 330 (time step 1)",
        "  the run reached model time 329; the output holds 328 records"]

    # A failure at the start time, word for word as the command line says it.
    model.parameters["mF"] = 0.0
    model.save_par(tmp_path / "zero.par")
    with pytest.raises(vindrel.DivisionByZero) as caught:
        model.run(stop=10)
    printed = cli("run", "--par", tmp_path / "zero.par", "--drivers", EXAMPLE_DRR, "--out",
                  tmp_path / "zero.out", "--stop", 10, "--quiet", check=False)
    assert printed.returncode != 0
    assert printed.stderr == "vindrel-cli: error: " + str(caught.value) + "\n"
    assert caught.value.equation_group.startswith("climate and water balance")
    assert caught.value.place == "start time" and len(caught.value.result) == 0


def test_run_many_returns_results_in_order_with_failures_in_their_place(model, tmp_path):
    models = []
    for mF in (28.0, 0.0, 33.0, 30.0):
        m = model.copy()
        m.parameters["mF"] = mF
        models.append(m)
    missing = model.copy()
    missing.driver_file = str(tmp_path / "missing.drr")
    models.insert(2, missing)
    results = vindrel.run_many(models, jobs=2, stop=400, integrator="dopri5")
    assert [type(r).__name__ for r in results] == \
        ["Result", "DivisionByZero", "RunRefused", "Result", "Result"]
    for m, r in zip(models, results):
        if isinstance(r, vindrel.Result):
            alone = m.run(stop=400, integrator="dopri5")
            np.testing.assert_array_equal(r.values, alone.values)
    peaks = [results[i].arrays["LAI"].max() for i in (0, 3, 4)]
    assert peaks[0] > peaks[2] > peaks[1]  # less leaf area per gram of leaf carbon
    with pytest.raises(ValueError, match="rk5"):
        vindrel.run_many(models, integrator="rk5")


def test_read_output_reads_the_command_lines_file(cli, tmp_path):
    cli("run", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--out", tmp_path / "cli.out",
        "--stop", 40, "--output-step", 2, "--quiet")
    frame = vindrel.read_output(tmp_path / "cli.out")
    assert frame.shape == (19, 207) and frame.index.name == "Time"
    with open(tmp_path / "cli.out", "rb") as file:
        lines = file.read().split(b"\r\n")
    last = [float(v) for v in lines[-2].split()]
    assert frame.index[-1] == last[0] == 39.0
    assert frame.iloc[-1].tolist() == last[1:]
    with pytest.raises(vindrel.FileError, match="File not found"):
        vindrel.read_output(tmp_path / "none.out")

    # A CSV output of chosen columns, named as the CSV writer names them.
    (tmp_path / "chosen.csv").write_text("time,LAI,Ts_process57,Cf\ndays,m2 leaf m-2 ground,oC,"
                                         "g C m-2 ground\n2,1.5,3.25,6.1\n3,1.625,-0.5,6.2\n")
    chosen = vindrel.read_output(tmp_path / "chosen.csv")
    assert chosen.columns.tolist() == ["LAI", "process:Ts", "Cf"]
    assert chosen.index.tolist() == [2.0, 3.0] and chosen.loc[3.0, "process:Ts"] == -0.5


def test_a_csv_output_of_the_command_line_holds_the_runs_doubles(model, cli, tmp_path):
    if "--format" not in cli("run", "--help").stdout:
        pytest.skip("vindrel-cli run writes no CSV")
    cli("run", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--out", tmp_path / "cli.csv",
        "--format", "csv", "--stop", 400, "--integrator", "dopri5", "--quiet")
    from_file = vindrel.read_output(tmp_path / "cli.csv")
    frame = model.run(stop=400, integrator="dopri5").frame()
    pd.testing.assert_frame_equal(frame[from_file.columns], from_file, check_exact=True)
