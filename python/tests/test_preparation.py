"""The run's preparation from Python: the same table of cases the command
line and the desktop are held to (tests/app/run_preparation_cases.txt), the
findings on the model as it is in memory, strict mode and continuations."""

import warnings

import numpy as np
import pytest

import vindrel
from conftest import EXAMPLE_DRR, EXAMPLE_PAR, SOURCE_DIR

CASES = SOURCE_DIR / "tests" / "app" / "run_preparation_cases.txt"


def read_cases():
    cases = []
    for line in CASES.read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        key, _, rest = line.partition(":")
        rest = rest.strip()
        if key == "case":
            cases.append({"name": rest, "options": {}, "state": {}, "parameter": {},
                          "driver": [], "expected": []})
        elif key == "options":
            for word in rest.split():
                name, _, value = word.partition("=")
                cases[-1]["options"][name] = value
        elif key in ("state", "parameter"):
            symbol, _, value = rest.partition("=")
            cases[-1][key][symbol] = float(value)
        elif key == "driver":
            day, _, edit = rest.partition(" ")
            column, _, value = edit.partition("=")
            cases[-1]["driver"].append((int(day), int(column), value))
        else:
            cases[-1]["expected"].append((key, rest.replace("{", "").replace("}", "")))
    return cases


def typed(options):
    numbers = {"start", "stop", "step", "output_step", "first_start", "rtol"}
    return {k: (float(v) if k in numbers else bool(int(v)) if k == "strict" else v)
            for k, v in options.items()}


def matches(found, expected):
    if expected.endswith("..."):
        return found.startswith(expected[:-3])
    return found == expected


def edited_drivers(tmp_path, edits):
    lines = EXAMPLE_DRR.read_text().splitlines()[:402]
    for day, column, value in edits:
        fields = lines[day + 1].split()
        fields[column] = value
        lines[day + 1] = " ".join(fields)
    path = tmp_path / "edited.drr"
    path.write_text("\n".join(lines) + "\n")
    return path


@pytest.mark.parametrize("case", read_cases(), ids=lambda case: case["name"])
def test_python_finds_what_the_command_line_and_the_desktop_find(case, tmp_path):
    model = vindrel.Model.from_files(EXAMPLE_PAR, EXAMPLE_DRR)
    for symbol, value in case["state"].items():
        model.states[symbol] = value
    for symbol, value in case["parameter"].items():
        model.parameters[symbol] = value
    if case["driver"]:
        model.driver_file = edited_drivers(tmp_path, case["driver"])
    options = typed(case["options"])
    expected = case["expected"]
    if expected[0][0] == "usage":
        with pytest.raises((ValueError, KeyError)) as error:
            model.check(**options)
        assert matches(error.value.args[0], expected[0][1]), error.value.args[0]
        return
    found = model.check(**options)
    assert len(found) == len(expected), [str(f) for f in found]
    for finding, (level, text) in zip(found, expected):
        assert finding.level == ("refusal" if level == "refusal" else "warning")
        assert matches(finding.text, text), finding.text
    # A run says the same: refusals raise, warnings come as RunWarning.
    if expected[0][0] == "refusal":
        with pytest.raises(vindrel.RunRefused) as refused:
            model.run(**options)
        assert refused.value.findings == [f for f in found if f.level == "refusal"]
    else:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            try:
                model.run(**options)
            except vindrel.RunFailed:
                pass  # a value that is not a number ends the run it was warned of
        assert [str(w.message) for w in caught if w.category is vindrel.RunWarning] == \
            [str(f) for f in found]


def test_a_value_set_in_memory_is_warned_of_and_strict_refuses_it(model):
    model.states["Wr"] = -10
    with pytest.warns(vindrel.RunWarning, match=r"state 21 \(Wr, H2O: Root-zone\) is -10"):
        model.run(stop=20)
    with pytest.raises(vindrel.RunRefused) as refused:
        model.run(stop=20, strict=True)
    assert refused.value.file == "" and refused.value.line == 0
    assert str(refused.value).endswith("(refused by strict)")
    # A value as the parameter file gives it is named with the file's line.
    model.states["Wr"] = vindrel.Model.from_files(EXAMPLE_PAR, EXAMPLE_DRR).states["Wr"]
    assert model.check(stop=20) == []


def test_a_spin_up_on_repeated_drivers_continues_with_first_start(model):
    whole = model.run(stop=1500, repeat_drivers=732, integrator="dopri5")
    half = model.run(stop=750, repeat_drivers=732, integrator="dopri5")
    assert half.final_model.end_time == 750 and half.final_model.first_start == 1
    rest = half.final_model.run(start=750, first_start=1, stop=1500, repeat_drivers=732,
                                integrator="dopri5")
    for symbol in ("Cf", "Chw", "Wr", "Cs", "LAI"):
        assert rest.arrays[symbol][-1] == pytest.approx(whole.arrays[symbol][-1], rel=1e-6)


def test_a_mid_year_continuation_from_a_final_model_is_warned_of(model):
    half = model.run(stop=549)
    with pytest.warns(vindrel.RunWarning, match="the run starts at day 549, day 183 of a model"):
        half.final_model.run(start=549, stop=700)
    # A new run from the year's turn, from states saved at another time of year.
    with pytest.warns(vindrel.RunWarning, match="ended with, at day 549, day 183"):
        half.final_model.run(start=1, stop=20)
    # Continued as one run, it says nothing.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        half.final_model.run(start=549, first_start=1, stop=700)


def test_the_defaults_are_the_command_lines_and_numpy_integers_are_positions(model):
    options = vindrel._vindrel.RunOptions()
    assert (options.start, options.stop, options.step, options.integrator) == (1, 2, 1, "rk4")
    assert model.run().arrays["Time"].tolist() == [2.0]
    assert model.states[np.int64(1)] == model.states["Cf"]
    chosen = model.run(stop=5, hold=[np.int32(1)], variables="summary")
    assert "NepT" in chosen.columns and chosen.summary().shape[0] == 1
    with pytest.raises(TypeError, match="unknown run option 'stopp'"):
        model.run(stopp=3)


def test_spin_up_gives_the_states_the_command_line_saves(model, cli, tmp_path):
    spun = model.spin_up(repeat_drivers=10980)
    assert (spun.end_time, spun.first_start) == (10981, 1)
    assert spun.spin_up_report[-1]["carbon"] <= 1e-6
    cli("spinup", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--repeat-drivers", 10980,
        "--quiet", "--save-states", tmp_path / "spun.par")
    saved = vindrel.Model.from_files(tmp_path / "spun.par", EXAMPLE_DRR)
    for symbol in ("Chw", "Ch", "Nh", "Nno3", "Wg"):
        assert spun.states[symbol] == pytest.approx(saved.states[symbol], rel=1e-13)
    with pytest.raises(vindrel.SpinUpFailed) as failed:
        model.spin_up(repeat_drivers=10980, max_years=90)
    assert failed.value.outcome == "not settled" and failed.value.best is not None
    assert failed.value.drift["carbon"] > 1e-6
