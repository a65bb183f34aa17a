"""A model's parameters and states by symbol, its copies and its files."""

import numpy as np
import pytest

import vindrel
from conftest import EXAMPLE_DRR, EXAMPLE_PAR


def test_parameters_and_states_read_and_set_by_symbol_and_position(model):
    assert model.parameters["mF"] == 30.86
    assert model.parameters[25] == 30.86
    assert model.states["Cf"] == 6.176
    assert len(model.parameters) == 114 and len(model.states) == 55
    assert list(model.states)[:3] == ["Cf", "Csw", "Chw"]
    assert model.parameters.entry("mF") == vindrel.Entry("mF", "Foliage C Density",
                                                          "g C m-2 leaf", 25, 30.86)
    assert model.parameters.units["Clfwmax"] == "g C m-2"
    assert model.states.names["Cf"] == "C: foliar"
    assert model.parameters.positions["Q10D"] == 98

    model.parameters["mF"] = 32
    model.states.update(Cf=7.5, Nf=0.25)
    assert (model.parameters["mF"], model.states["Cf"], model.states[5]) == (32.0, 7.5, 0.25)
    table = model.parameters.frame()
    assert table.loc[25, "symbol"] == "mF" and table.loc[25, "value"] == 32.0


def test_names_are_those_of_the_whole_program_and_unknown_ones_list_close_matches(model):
    forms = ("expected a parameter's symbol (mF), its position (25), parameter:SYMBOL or "
             "parameter#N (see vindrel-cli list parameters)")
    with pytest.raises(KeyError) as error:
        model.parameters["mf"]
    assert error.value.args[0] == f'unknown parameter "mf": {forms}; close matches: mF'
    with pytest.raises(KeyError) as error:
        model.states["Clfx"] = 1.0
    assert error.value.args[0].startswith('unknown state "Clfx": expected a state')
    assert "; close matches: Clfw" in error.value.args[0]
    with pytest.raises(KeyError) as error:
        model.states[56]
    assert error.value.args[0] == 'unknown state "56": positions run from 1 to 55'
    with pytest.raises(KeyError) as error:
        model.parameters["zzz"]
    assert error.value.args[0] == f'unknown parameter "zzz": {forms}'
    with pytest.raises(KeyError) as error:
        model.states["parameter:mF"]
    assert error.value.args[0].startswith('unknown state "parameter:mF": only states are taken')
    assert model.states["state#1"] == model.states["state:Cf"] == model.states["Cf"]
    assert model.parameters[np.int64(25)] == model.parameters["mF"]
    with pytest.raises(TypeError):
        del model.parameters["mF"]
    assert "mF" in model.parameters and "mf" not in model.parameters


def test_a_copy_is_independent(model):
    other = model.copy()
    other.parameters["mF"] = 40.0
    assert model.parameters["mF"] == 30.86
    assert other.driver_file == model.driver_file


def test_save_par_writes_what_from_files_reads_and_keeps_the_old_file_on_failure(model, tmp_path):
    model.parameters["aNf"] = 1.25
    model.save_par(tmp_path / "stand.par")
    again = vindrel.Model.from_files(tmp_path / "stand.par", EXAMPLE_DRR)
    assert dict(again.parameters) == dict(model.parameters)
    assert dict(again.states) == dict(model.states)
    # The file is the one the program writes: the example's own, one value changed.
    with open(EXAMPLE_PAR, "rb") as original, open(tmp_path / "stand.par", "rb") as saved:
        changed = [a for a, b in zip(original.read().split(b"\r\n"), saved.read().split(b"\r\n"))
                   if a != b]
    assert len(changed) == 1 and changed[0].startswith(b"leaf N Ps correction")

    with pytest.raises(vindrel.FileError) as error:
        model.save_par(tmp_path / "no such folder" / "stand.par")
    assert error.value.file.endswith("stand.par") and "Path not found" in str(error.value)


def test_files_that_cannot_be_read_are_file_errors(tmp_path):
    with pytest.raises(vindrel.FileError) as error:
        vindrel.Model.from_files(tmp_path / "missing.par", EXAMPLE_DRR)
    assert str(error.value) == f"{tmp_path}/missing.par: File not found"
    with pytest.raises(vindrel.FileError) as error:
        vindrel.Model.from_files(EXAMPLE_PAR, tmp_path / "missing.drr")
    assert error.value.message == "Cannot read driver file. File does not exist."
    (tmp_path / "other.par").write_bytes(b"Another model             1.0\r\n")
    with pytest.raises(vindrel.FileError) as error:
        vindrel.Model.from_files(tmp_path / "other.par", EXAMPLE_DRR)
    assert error.value.line == 1
    assert "is not compatible with this model" in str(error.value)


def test_check_gives_the_findings_of_the_command_lines_check(model, cli, tmp_path):
    assert model.check(stop=732) == []
    refused = model.check(start=400, stop=500, repeat_drivers=366)
    assert [(f.level, f.file, f.line) for f in refused] == [("refusal", "", 0)]
    assert refused[0].text.startswith("Repeated drivers return to the start time")
    late = model.check(stop=11000)
    assert [(f.level, f.line) for f in late] == [("warning", 10982)]
    assert str(late[0]) == f"{EXAMPLE_DRR}:10982: {late[0].text}"
    printed = cli("check", "--par", EXAMPLE_PAR, "--drivers", EXAMPLE_DRR, "--start", 400,
                  "--stop", 500, "--repeat-drivers", 366, check=False)
    assert printed.returncode == 1 and str(refused[0]) in printed.stdout + printed.stderr
