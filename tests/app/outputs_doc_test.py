"""docs/outputs.md as written, and the CSV and NetCDF outputs as Python tools read them.

Runs the shell commands of docs/outputs.md in an empty folder (with the
examples beside them and vindrel-cli on the PATH): three years of the example
into .out, CSV and NetCDF files, and more. Then checks what pandas and xarray
see in those files (the CF attributes that tools rely on, the calendar's years
and days, the values against the .out file) and runs every Python snippet of
the document on them.

Usage: outputs_doc_test.py VINDREL_CLI DOCS_OUTPUTS_MD EXAMPLES_DIR
"""
import hashlib
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

try:
    import netCDF4  # noqa: F401  (the engine xarray opens the files with)
    import numpy as np
    import pandas as pd
    import xarray as xr
except ImportError as missing:
    print("skipped:", missing)
    sys.exit(77)

CLI, DOC, EXAMPLES = sys.argv[1:4]
# As the document's commands name them, from the top of the source tree.
PAR = "examples/vindrel-example.par"
DRR = "examples/vindrel-example.drr"
STOP = 1098


def shell_blocks():
    with open(DOC) as f:
        return re.findall(r"```sh\n(.*?)```", f.read(), re.S)


class Outputs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        os.chdir(cls.folder.name)
        os.symlink(os.path.abspath(EXAMPLES), "examples")
        environment = dict(os.environ)
        environment["PATH"] = os.path.dirname(os.path.abspath(CLI)) + os.pathsep + \
            environment["PATH"]
        cls.shell_output = []
        for block in shell_blocks():
            done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", block], env=environment,
                                  capture_output=True, text=True)
            if done.returncode != 0:
                raise AssertionError("the document's commands failed:\n%s\n%s"
                                     % (block, done.stderr))
            cls.shell_output.append(done.stdout)
        cls.out = np.loadtxt("run.out", skiprows=2)
        with open("run.out") as f:
            header = f.readline()
        cls.out_names = [header[i:i + 25].strip() for i in range(0, len(header) - 2, 26)]

    @classmethod
    def tearDownClass(cls):
        os.chdir("/")
        cls.folder.cleanup()

    def test_the_documents_commands_make_the_files_it_reads(self):
        self.assertGreaterEqual(len(self.shell_output), 1)
        for name in ("run.out", "run.csv", "run.nc", "lai.csv", "year.csv"):
            self.assertTrue(os.path.getsize(name) > 0, name)
        self.assertEqual(list(pd.read_csv("lai.csv", skiprows=[1]).columns),
                         ["time", "LAI", "NEP", "Cf", "Tamin"])
        output = "".join(self.shell_output)
        self.assertIn("Conventions", output)               # ncdump -h
        self.assertRegex(output, r"(?m)^\s*1\b")            # the summary's first year

    def test_netcdf_carries_the_cf_attributes_tools_rely_on(self):
        ds = xr.open_dataset("run.nc", decode_times=False)
        self.assertEqual(ds.attrs["Conventions"], "CF-1.9")
        self.assertEqual(ds.attrs["model"], "Vindrel")
        self.assertEqual(ds.attrs["model_version"], "6.4.1")
        self.assertEqual(ds.attrs["stop_time"], float(STOP))
        self.assertEqual(ds.attrs["integrator"], "rk4, tolerance 1E-8")
        for name, path in (("parameter_file", PAR), ("driver_file", DRR)):
            self.assertEqual(ds.attrs[name], path)
            self.assertIn(path, ds.attrs["title"])
            with open(path, "rb") as f:
                self.assertEqual(ds.attrs[name + "_sha256"], hashlib.sha256(f.read()).hexdigest())
        time = ds["time"]
        self.assertEqual(time.dims, ("time",))
        self.assertEqual(time.attrs["units"], "days since 0000-12-31 00:00:00")
        self.assertEqual(time.attrs["calendar"], "366_day")
        self.assertEqual(time.attrs["standard_name"], "time")
        self.assertEqual(time.attrs["axis"], "T")
        self.assertEqual(len(ds.data_vars), 207)
        lai = ds["LAI"]
        self.assertEqual(lai.attrs["units"], "1")
        self.assertEqual(lai.attrs["vindrel_units"], "m2 leaf m-2 ground")
        self.assertEqual(lai.attrs["long_name"], "Leaf Area Index, leaf area per ground area")
        self.assertEqual(lai.attrs["vindrel_name"], "Leaf Area Index")
        self.assertEqual(lai.attrs["model_table"], "process")
        self.assertEqual(int(lai.attrs["model_index"]), 77)
        self.assertEqual(ds["Ts_driver4"].attrs["vindrel_name"], "Avg Soil Temp")
        self.assertTrue(lai.encoding["zlib"])
        self.assertTrue(lai.encoding["shuffle"])
        for name, variable in ds.data_vars.items():
            self.assertIn("units", variable.attrs, name)
            self.assertIn("long_name", variable.attrs, name)

    def test_decoded_dates_are_the_models_years_and_days(self):
        ds = xr.open_dataset("run.nc", use_cftime=True)
        raw = xr.open_dataset("run.nc", decode_times=False)["time"].values
        self.assertEqual(raw[0], 2.0)
        self.assertEqual(raw[-1], float(STOP))
        for t, date in zip(raw, ds["time"].values):
            self.assertEqual(date.year, math.ceil(t / 366), t)
            self.assertEqual(date.dayofyr, (int(t) - 1) % 366 + 1, t)
        self.assertEqual(str(ds["time"].values[364]), "0001-12-31 00:00:00")  # time 366
        # Grouping by the decoded year gives the model's years: the year's
        # last record (time 366) belongs to year 1.
        counts = ds["LAI"].groupby("time.year").count().values
        self.assertEqual(list(counts), [365, 366, STOP - 732])

    def test_values_equal_the_out_file_at_its_precision(self):
        csv = pd.read_csv("run.csv", skiprows=[1], float_precision="round_trip")
        # Unmasked: the marker values as the CSV file writes them.
        nc = xr.open_dataset("run.nc", decode_times=False, mask_and_scale=False)
        self.assertEqual(list(csv.columns), ["time"] + list(nc.data_vars))
        self.assertEqual(len(csv.columns), len(self.out_names))
        self.assertEqual(csv.shape, self.out.shape)
        np.testing.assert_allclose(csv.to_numpy(), self.out, rtol=5e-13, atol=0)
        # CSV and NetCDF hold the same doubles, bit for bit.
        for name in csv.columns:
            np.testing.assert_array_equal(csv[name].to_numpy(), nc[name].values, err_msg=name)
        self.assertEqual(csv.columns[self.out_names.index("Leaf Area Index")], "LAI")
        # With no option but the skipped line of units, pandas' default
        # parser reads the numbers to about 12 digits, as the document says.
        plain = pd.read_csv("run.csv", skiprows=[1])
        np.testing.assert_allclose(plain.to_numpy(), csv.to_numpy(), rtol=2e-12, atol=0)
        units = pd.read_csv("run.csv", nrows=1).iloc[0]
        self.assertEqual(units["LAI"], "m2 leaf m-2 ground")
        self.assertEqual(units["time"], "days")

    def test_the_documents_python_snippets_run(self):
        with open(DOC) as f:
            snippets = re.findall(r"```python\n(.*?)```", f.read(), re.S)
        self.assertGreaterEqual(len(snippets), 4)
        for snippet in snippets:
            with self.subTest(snippet=snippet.splitlines()[0]):
                exec(compile(snippet, DOC, "exec"), {"__name__": "__snippet__"})
        self.assertTrue(os.path.getsize("lai-from-csv.png") > 0)
        self.assertTrue(os.path.getsize("lai-from-netcdf.png") > 0)
        self.assertTrue(os.path.getsize("peak-lai-from-netcdf.png") > 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
