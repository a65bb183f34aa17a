#!/usr/bin/python3
"""What calling the model from Python costs, measured on the example stand:

1. a 10-year run called from Python against the same run inside
   `vindrel-cli study run` (CPU time per run; the study's start-up is taken out
   by running studies of 1 and of 1 + N identical runs);
2. a DataFrame of a century of daily records (208 columns) built from a run;
3. runs per second on a ThreadPoolExecutor with two workers against one, and
   vindrel.run_many with two jobs.

    PYTHONPATH=build/default/python /usr/bin/python3 python/bench/overhead.py build/default/app/vindrel-cli

CPU times are the process's own (time.process_time, and the children's for
vindrel-cli); the throughput is wall-clock time and needs two idle cores.
"""

import concurrent.futures
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import vindrel

SOURCE = pathlib.Path(__file__).resolve().parents[2]
PAR = SOURCE / "examples" / "vindrel-example.par"
DRR = SOURCE / "examples" / "vindrel-example.drr"
TEN_YEARS = 3660


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def study_cpu(cli, folder, runs):
    """CPU seconds of a `study run` of `runs` identical 10-year runs."""
    factors = folder / "factors.csv"
    factors.write_text("factor,low,high\nmF,20,40\n")
    samples = folder / f"samples-{runs}.csv"
    samples.write_text("mF\n" + "30.86\n" * runs)
    results = folder / f"results-{runs}.csv"
    results.unlink(missing_ok=True)  # a results file left there would be resumed, not run again
    before = children_cpu()
    subprocess.run([cli, "study", "run", "--quiet", "--par", PAR, "--drivers", DRR, "--samples",
                    samples, "--factors", factors, "--start", "1", "--stop", str(TEN_YEARS),
                    "--metric", "nep=NEP:mean", "--results", results,
                    "--jobs", "1"], check=True, capture_output=True)
    return children_cpu() - before


def python_cpu(model, runs, **options):
    """Median CPU seconds of one run called from Python."""
    times = []
    for _ in range(runs):
        start = time.process_time()
        model.run(**options)
        times.append(time.process_time() - start)
    return statistics.median(times)


def overhead(cli, model, repeats):
    with tempfile.TemporaryDirectory() as name:
        folder = pathlib.Path(name)
        study_cpu(cli, folder, 1)  # files into the page cache
        per_study_run = min((study_cpu(cli, folder, 1 + repeats) - study_cpu(cli, folder, 1)) / repeats
                            for _ in range(2))
    whole = python_cpu(model, repeats, stop=TEN_YEARS)
    nep_only = python_cpu(model, repeats, stop=TEN_YEARS, variables=["NEP"])
    print(f"10-year run, CPU per run: study run {per_study_run:.3f} s; from Python "
          f"{whole:.3f} s with the whole record ({100 * (whole / per_study_run - 1):+.1f} %), "
          f"{nep_only:.3f} s with NEP alone ({100 * (nep_only / per_study_run - 1):+.1f} %)")


def century_frame(model):
    import pandas  # noqa: F401  (imported before the clock starts)

    result = model.run(stop=36600, repeat_drivers=10980, integrator="dopri5")
    times = []
    for _ in range(5):
        start = time.perf_counter()
        frame = result.frame()
        times.append(time.perf_counter() - start)
    print(f"DataFrame of a century: {frame.shape[0]} records x {frame.shape[1] + 1} columns "
          f"(the time as its index) in {min(times):.3f} s (median {statistics.median(times):.3f} s)")


def throughput(model, runs):
    models = [model.copy() for _ in range(runs)]

    def one(m):
        return m.run(stop=TEN_YEARS)

    rates = {}
    for workers in (1, 2):
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            start = time.perf_counter()
            list(pool.map(one, models))
            rates[workers] = runs / (time.perf_counter() - start)
    start = time.perf_counter()
    vindrel.run_many(models, jobs=2, stop=TEN_YEARS)
    many = runs / (time.perf_counter() - start)
    print(f"{runs} 10-year runs: ThreadPoolExecutor 1 worker {rates[1]:.2f} runs/s, 2 workers "
          f"{rates[2]:.2f} runs/s ({rates[2] / rates[1]:.2f} times); run_many jobs=2 "
          f"{many:.2f} runs/s ({many / rates[1]:.2f} times)")


def lock_released(model):
    """How much of a pure-Python loop's speed the main thread keeps while a run
    goes on in another thread: near 1 when the run holds no lock (and a core
    is free for each)."""

    def count_for(seconds):
        end = time.perf_counter() + seconds
        count = 0
        while time.perf_counter() < end:
            count += 1
        return count

    start = time.perf_counter()
    model.run(stop=TEN_YEARS)
    length = time.perf_counter() - start
    alone = count_for(length)
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        running = pool.submit(model.run, stop=TEN_YEARS)
        beside = count_for(length * 0.8)
        running.result()
    print(f"a Python loop beside a run in another thread kept {beside / (0.8 * alone):.2f} of its "
          f"speed alone")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cli = sys.argv[1]
    print(f"load average before: {os.getloadavg()[0]:.2f} on {os.cpu_count()} processors")
    model = vindrel.Model.from_files(PAR, DRR)
    overhead(cli, model, repeats=8)
    century_frame(model)
    throughput(model, runs=8)
    lock_released(model)
    print(f"load average after: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
