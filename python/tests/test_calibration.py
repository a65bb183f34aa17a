"""The twin experiment of examples/twin_calibration.py, shortened: the least
squares fit in full, the posterior sampler for a few steps."""

import importlib.util

import numpy as np

from conftest import SOURCE_DIR


def load_example():
    spec = importlib.util.spec_from_file_location(
        "twin_calibration", SOURCE_DIR / "examples" / "twin_calibration.py")
    twin = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(twin)
    return twin


def test_least_squares_recovers_the_true_values_and_emcee_samples_around_them(tmp_path):
    twin = load_example()
    model = twin.example_model()
    start = np.array([model.parameters[name] for name in twin.NAMES])
    truth, nep_observed, lai_observed = twin.observe(model, twin.TRUE_VALUES, seed=2026)
    assert len(nep_observed) == 1097 and len(lai_observed) == 157

    estimate, errors, _ = twin.fit(model, nep_observed, lai_observed, start)
    # Recovered within three standard errors and within 6 % of the truth, from
    # a start 4 to 10 % away from it.
    assert np.all(np.abs(estimate - twin.TRUE_VALUES) < 3 * errors), (estimate, errors)
    assert np.all(np.abs(estimate / twin.TRUE_VALUES - 1) < 0.06), estimate
    assert np.all(errors / twin.TRUE_VALUES < 0.05)

    sampler = twin.sample(model, nep_observed, lai_observed, estimate, errors, walkers=8,
                          steps=12, jobs=2, seed=1)
    chain = sampler.get_chain(flat=True)
    assert chain.shape == (96, 3) and np.all(np.isfinite(sampler.get_log_prob()))
    assert 0.1 < np.mean(sampler.acceptance_fraction) < 0.95
    assert np.all(np.abs(chain.mean(axis=0) - estimate) < 3 * errors)

    fitted = twin.with_values(model, estimate).run(**twin.RUN)
    twin.plot_fit(tmp_path / "fit.png", truth, fitted, nep_observed, lai_observed)
    twin.plot_posterior(tmp_path / "posterior.png", chain, estimate)
    assert (tmp_path / "fit.png").stat().st_size > 10000
