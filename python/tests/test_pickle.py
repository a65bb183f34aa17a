"""Models, results and failures carried between processes (pickle, process
pools), copies, and the conveniences of a run's result."""

import concurrent.futures
import copy
import os
import pickle
import warnings

import numpy as np
import pytest

import vindrel
from conftest import EXAMPLE_DRR, EXAMPLE_PAR


def run_in_worker(model):
    return model.run(stop=40, integrator="dopri5")


def test_a_model_pickles_with_its_edits_and_copies_are_independent(model):
    model.parameters["mF"] = 33.5
    model.states["Cf"] = 7.25
    ended = model.run(stop=30, hold="Chw").final_model
    for original in (model, ended):
        again = pickle.loads(pickle.dumps(original))
        assert dict(again.parameters) == dict(original.parameters)
        assert dict(again.states) == dict(original.states)
        assert (again.driver_file, again.end_time, again.first_start) == \
            (original.driver_file, original.end_time, original.first_start)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", vindrel.RunWarning)  # a new run from ended states
            np.testing.assert_array_equal(again.run(stop=20).values,
                                          original.run(stop=20).values)
    for other in (copy.copy(model), copy.deepcopy(model)):
        other.parameters["mF"] = 20.0
        assert model.parameters["mF"] == 33.5


def test_a_result_pickles_and_its_final_model_is_one_object(model):
    result = model.run(stop=800, variables=["LAI", "NEP"])
    again = pickle.loads(pickle.dumps(result))
    np.testing.assert_array_equal(again.values, result.values)
    assert again.columns == result.columns
    assert again.summary().equals(result.summary())
    np.testing.assert_array_equal(again["LAI"], result.arrays["LAI"])
    # An edit of the final model stays with it.
    result.final_model.states["Cf"] = 1.0
    assert result.final_model.states["Cf"] == 1.0


def test_a_failure_in_a_worker_process_reaches_the_parent_with_its_detail(model):
    broken = model.copy()
    broken.parameters["mF"] = 0.0
    with pytest.raises(vindrel.DivisionByZero) as here:
        run_in_worker(broken)
    with concurrent.futures.ProcessPoolExecutor(max_workers=2) as pool:
        good, bad = pool.submit(run_in_worker, model), pool.submit(run_in_worker, broken)
        np.testing.assert_array_equal(good.result().values, run_in_worker(model).values)
        with pytest.raises(vindrel.DivisionByZero) as there:
            bad.result()
    assert str(there.value) == str(here.value)
    assert (there.value.place, there.value.time, there.value.equation_group) == \
        (here.value.place, here.value.time, here.value.equation_group)
    finding = vindrel.Finding("refusal", "f.drr", 3, "text", "f.drr:3: text")
    refused = pickle.loads(pickle.dumps(vindrel.RunRefused([finding])))
    assert refused.findings == [finding] and str(refused.findings[0]) == "f.drr:3: text"
    assert (refused.file, refused.line, str(refused)) == ("f.drr", 3, "f.drr:3: text")


def test_missing_files_are_file_not_found_and_paths_survive_a_change_of_folder(tmp_path):
    with pytest.raises(FileNotFoundError) as error:
        vindrel.Model.from_files(tmp_path / "none.par", EXAMPLE_DRR)
    assert isinstance(error.value, vindrel.FileError)
    assert isinstance(pickle.loads(pickle.dumps(error.value)), FileNotFoundError)
    here = os.getcwd()
    try:
        os.chdir(EXAMPLE_PAR.parent)
        model = vindrel.Model.from_files(EXAMPLE_PAR.name, EXAMPLE_DRR.name)
        os.chdir(tmp_path)
        assert len(model.run(stop=5)) == 4
    finally:
        os.chdir(here)
    assert vindrel.run(EXAMPLE_PAR, EXAMPLE_DRR, stop=5)["LAI"].shape == (4,)
