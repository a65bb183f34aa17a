#!/usr/bin/python3
"""A twin experiment on the example stand: observations made by the model
itself, with known values of three influential parameters and noise, and the
parameters recovered from them.

1. Truth: the example stand with Clfwmax, aNf and Q10D set to TRUE_VALUES,
   run for three model years with the dopri5 integrator.
2. Observations: its daily NEP with Gaussian noise (sd 0.5 g C m-2 d-1, about
   what an eddy-covariance tower's daily sums carry) and its LAI every seventh
   day with noise of sd 0.2.
3. Least squares: scipy.optimize.least_squares from the example's own values,
   within the ranges of the studies guide.
4. Posterior: emcee's ensemble sampler, flat priors on those ranges and the
   Gaussian likelihood of the noise; each batch of walkers runs on threads
   through vindrel.run_many.

    PYTHONPATH=build/default/python /usr/bin/python3 examples/twin_calibration.py --figures docs

prints the true, recovered and posterior values with the runtimes, and writes
twin-fit.png and twin-posterior.png into the figures folder.
"""

import argparse
import os
import pathlib
import time

import numpy as np

import vindrel

EXAMPLES = pathlib.Path(__file__).resolve().parent
NAMES = ("Clfwmax", "aNf", "Q10D")
# The ranges of the studies guide's Sobol design: the flat priors and the bounds.
LOWER = np.array([380.0, 1.1, 1.6])
UPPER = np.array([570.0, 1.65, 2.4])
TRUE_VALUES = np.array([520.0, 1.25, 2.2])
NEP_SD = 0.5  # g C m-2 ground day-1
LAI_SD = 0.2  # m2 leaf m-2 ground
LAI_EVERY = 7  # days
RUN = dict(start=1, stop=3 * 366, integrator="dopri5", variables=["NEP", "LAI"])


def example_model():
    return vindrel.Model.from_files(EXAMPLES / "vindrel-example.par",
                                    EXAMPLES / "vindrel-example.drr")


def with_values(model, values):
    changed = model.copy()
    for name, value in zip(NAMES, values):
        changed.parameters[name] = value
    return changed


def simulate(result):
    """What the observations see of a run: daily NEP, LAI every seventh day."""
    return result.arrays["NEP"], result.arrays["LAI"][::LAI_EVERY]


def observe(model, values, seed):
    """The truth's run and its noisy observations."""
    truth = with_values(model, values).run(**RUN)
    nep, lai = simulate(truth)
    rng = np.random.default_rng(seed)
    return truth, nep + rng.normal(0.0, NEP_SD, nep.shape), lai + rng.normal(0.0, LAI_SD, lai.shape)


def residuals(model, values, nep_observed, lai_observed):
    """The misfit of one parameter set, each observation scaled by its noise."""
    nep, lai = simulate(with_values(model, values).run(**RUN))
    return np.concatenate([(nep - nep_observed) / NEP_SD, (lai - lai_observed) / LAI_SD])


def fit(model, nep_observed, lai_observed, start):
    """Least squares within the bounds, the parameters scaled to their ranges.
    The finite-difference steps are far above the integrator's tolerance."""
    from scipy.optimize import least_squares

    def scaled_residuals(x):
        return residuals(model, LOWER + x * (UPPER - LOWER), nep_observed, lai_observed)

    x0 = (np.asarray(start) - LOWER) / (UPPER - LOWER)
    solution = least_squares(scaled_residuals, x0, bounds=(0.0, 1.0), diff_step=1e-4,
                             x_scale=1.0, xtol=1e-8)
    values = LOWER + solution.x * (UPPER - LOWER)
    # Standard errors from the Jacobian at the optimum (the noise is known).
    jacobian = solution.jac / (UPPER - LOWER)
    covariance = np.linalg.inv(jacobian.T @ jacobian)
    return values, np.sqrt(np.diag(covariance)), solution


def log_posterior_batch(model, nep_observed, lai_observed, jobs):
    """The log posterior of a batch of walkers, their runs on `jobs` threads."""

    def log_posterior(batch):
        batch = np.atleast_2d(batch)
        inside = np.all((batch >= LOWER) & (batch <= UPPER), axis=1)
        values = np.full(len(batch), -np.inf)
        models = [with_values(model, b) for b in batch[inside]]
        results = vindrel.run_many(models, jobs=jobs, **RUN)
        logs = []
        for result in results:
            if isinstance(result, Exception):  # a failed run has no likelihood
                logs.append(-np.inf)
                continue
            nep, lai = simulate(result)
            logs.append(-0.5 * (np.sum(((nep - nep_observed) / NEP_SD) ** 2) +
                                np.sum(((lai - lai_observed) / LAI_SD) ** 2)))
        values[inside] = logs
        return values

    return log_posterior


def sample(model, nep_observed, lai_observed, centre, spread, walkers, steps, jobs, seed):
    """An emcee chain started in a small ball around the least-squares values."""
    import emcee

    rng = np.random.default_rng(seed)
    start = centre + spread * rng.normal(size=(walkers, len(NAMES)))
    start = np.clip(start, LOWER + 1e-9, UPPER - 1e-9)
    sampler = emcee.EnsembleSampler(walkers, len(NAMES),
                                    log_posterior_batch(model, nep_observed, lai_observed, jobs),
                                    vectorize=True)
    sampler.random_state = np.random.RandomState(seed).get_state()
    sampler.run_mcmc(start, steps, progress=False)
    return sampler


def plot_fit(path, truth, fitted, nep_observed, lai_observed):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    time_nep = truth.arrays["Time"]
    time_lai = time_nep[::LAI_EVERY]
    figure, (top, bottom) = plt.subplots(2, 1, figsize=(9, 6), sharex=True)
    top.plot(time_nep, nep_observed, ".", color="0.6", markersize=2, label="observed (noise sd 0.5)")
    top.plot(time_nep, truth.arrays["NEP"], color="black", linewidth=1.2, label="truth")
    top.plot(time_nep, fitted.arrays["NEP"], "--", color="tab:red", linewidth=1.2, label="fitted")
    top.set_ylabel("NEP, g C m$^{-2}$ d$^{-1}$")
    top.legend(loc="upper left", fontsize=8, ncol=3)
    bottom.plot(time_lai, lai_observed, "o", color="0.6", markersize=3, label="observed (sd 0.2)")
    bottom.plot(time_nep, truth.arrays["LAI"], color="black", linewidth=1.2, label="truth")
    bottom.plot(time_nep, fitted.arrays["LAI"], "--", color="tab:red", linewidth=1.2, label="fitted")
    bottom.set_ylabel("LAI, m$^2$ m$^{-2}$")
    bottom.set_xlabel("model time, days")
    bottom.legend(loc="upper left", fontsize=8, ncol=3)
    figure.suptitle("Twin experiment: three years of the example stand, fitted by least squares")
    figure.tight_layout()
    figure.savefig(path, dpi=110)
    plt.close(figure)


def plot_posterior(path, chain, estimate):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    n = len(NAMES)
    figure, axes = plt.subplots(n, n, figsize=(7.5, 7.5))
    for row in range(n):
        for column in range(n):
            axis = axes[row, column]
            if column > row:
                axis.set_visible(False)
                continue
            if row == column:
                axis.hist(chain[:, row], bins=40, color="tab:blue", alpha=0.7)
                axis.axvline(TRUE_VALUES[row], color="black", label="true")
                axis.axvline(estimate[row], color="tab:red", linestyle="--", label="least squares")
                axis.set_yticks([])
            else:
                axis.plot(chain[:, column], chain[:, row], ".", color="tab:blue", markersize=1,
                          alpha=0.3)
                axis.plot(TRUE_VALUES[column], TRUE_VALUES[row], "k+", markersize=12)
                axis.plot(estimate[column], estimate[row], "rx", markersize=8)
            if row == n - 1:
                axis.set_xlabel(NAMES[column])
            if column == 0 and row > 0:
                axis.set_ylabel(NAMES[row])
    axes[0, 0].legend(fontsize=7, loc="upper left")
    figure.suptitle("Posterior of the twin experiment (emcee); + true values, x least squares")
    figure.tight_layout()
    figure.savefig(path, dpi=110)
    plt.close(figure)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--figures", type=pathlib.Path, help="folder for the two PNG figures")
    parser.add_argument("--walkers", type=int, default=24)
    parser.add_argument("--steps", type=int, default=600)
    parser.add_argument("--burn", type=int, default=200, help="steps dropped from the chain")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--seed", type=int, default=2026)
    arguments = parser.parse_args()

    model = example_model()
    start = np.array([model.parameters[name] for name in NAMES])
    clock = time.perf_counter()
    truth, nep_observed, lai_observed = observe(model, TRUE_VALUES, arguments.seed)
    print(f"observations: {len(nep_observed)} daily NEP and {len(lai_observed)} LAI values")

    clock = time.perf_counter()
    estimate, errors, solution = fit(model, nep_observed, lai_observed, start)
    fit_seconds = time.perf_counter() - clock
    print(f"least squares: {solution.nfev} evaluations and {solution.njev} Jacobians "
          f"in {fit_seconds:.1f} s")

    clock = time.perf_counter()
    sampler = sample(model, nep_observed, lai_observed, estimate, errors, arguments.walkers,
                     arguments.steps, arguments.jobs, arguments.seed)
    sample_seconds = time.perf_counter() - clock
    chain = sampler.get_chain(discard=arguments.burn, flat=True)
    runs = arguments.walkers * (arguments.steps + 1)
    print(f"emcee: {arguments.walkers} walkers x {arguments.steps} steps ({runs} runs) on "
          f"{arguments.jobs} threads in {sample_seconds:.1f} s, acceptance "
          f"{np.mean(sampler.acceptance_fraction):.2f}")

    print(f"\n{'':10}{'start':>10}{'true':>10}{'least sq.':>12}{'+-':>8}"
          f"{'posterior':>12}{'sd':>8}{'2.5 %':>10}{'97.5 %':>10}")
    for i, name in enumerate(NAMES):
        low, high = np.percentile(chain[:, i], [2.5, 97.5])
        print(f"{name:10}{start[i]:10.4g}{TRUE_VALUES[i]:10.4g}{estimate[i]:12.5g}"
              f"{errors[i]:8.2g}{np.mean(chain[:, i]):12.5g}{np.std(chain[:, i]):8.2g}"
              f"{low:10.5g}{high:10.5g}")

    if arguments.figures:
        fitted = with_values(model, estimate).run(**RUN)
        plot_fit(arguments.figures / "twin-fit.png", truth, fitted, nep_observed, lai_observed)
        plot_posterior(arguments.figures / "twin-posterior.png", chain, estimate)
        print(f"\nfigures: {arguments.figures / 'twin-fit.png'}, "
              f"{arguments.figures / 'twin-posterior.png'}")


if __name__ == "__main__":
    main()
