"""The NetCDF and CSV outputs as the tools that follow their standards read them.

Runs the example for a little over two model years into NetCDF and CSV files,
then reads every units attribute with the UDUNITS library (through ctypes, as
CF tools do) and checks the quantity and scale it stands for, checks that
xarray masks the model's marker values, that the provenance attributes are
there, and that pandas reads every CSV value column as floating point.

Usage: outputs_standards_test.py VINDREL_CLI EXAMPLES_DIR
"""
import ctypes
import ctypes.util
import hashlib
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

CLI, EXAMPLES = sys.argv[1:3]
PAR = os.path.join(EXAMPLES, "vindrel-example.par")
DRR = os.path.join(EXAMPLES, "vindrel-example.drr")
STOP = 800
DAY = 86400.0

# What each of the model's unit texts means: a unit of the same dimension and
# the factor that takes a value in the file's units to it.
EXPECTED = {
    "g C m-2 ground": ("kg m-2", 1e-3),
    "g C m-2": ("kg m-2", 1e-3),
    "g N m-2 ground": ("kg m-2", 1e-3),
    "g N m-2": ("kg m-2", 1e-3),
    "g N m-2 ": ("kg m-2", 1e-3),
    "g C m-2 day-1": ("kg m-2 s-1", 1e-3 / DAY),
    "g N m-2 day-1": ("kg m-2 s-1", 1e-3 / DAY),
    # The running yearly totals are amounts gathered since the year began.
    "g C m-2 yr-1": ("kg m-2", 1e-3),
    "g N m-2 yr-1": ("kg m-2", 1e-3),
    "mm H2O yr-1": ("m", 1e-3),
    "g C g-1 N": ("1", 1.0),
    "g C m-2 ppm-1 day-1": ("kg m-2 s-1", 1e-3 / DAY / 1e-6),
    "mm H2O": ("m", 1e-3),
    "mm H2O day-1": ("m s-1", 1e-3 / DAY),
    "m H2O day-1": ("m s-1", 1.0 / DAY),
    "umol N L-1 H2O": ("mol m-3", 1e-3),
    "degree C day": ("K s", DAY),
    "day": ("1", 1.0),
    "Julian Day": ("1", 1.0),
    "unitless": ("1", 1.0),
    "fraction": ("1", 1.0),
    "m2 leaf m-2 ground": ("1", 1.0),
    "m2 leaf m-2 grd": ("1", 1.0),
    "ppm": ("1", 1e-6),
    "o/oo": ("1", 1e-3),
    "MPa": ("Pa", 1e6),
    "MJ m-2 day-1": ("W m-2", 1e6 / DAY),
    "hours": ("s", 3600.0),
    "oC": ("K", None),  # an offset, below
}


class Udunits:
    """The UDUNITS-2 C library."""

    def __init__(self):
        name = ctypes.util.find_library("udunits2") or "libudunits2.so.0"
        lib = ctypes.CDLL(name)
        lib.ut_set_error_message_handler.argtypes = [ctypes.c_void_p]
        lib.ut_set_error_message_handler(ctypes.cast(lib.ut_ignore, ctypes.c_void_p))
        lib.ut_read_xml.restype = ctypes.c_void_p
        lib.ut_read_xml.argtypes = [ctypes.c_char_p]
        lib.ut_parse.restype = ctypes.c_void_p
        lib.ut_parse.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.ut_are_convertible.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        lib.ut_get_converter.restype = ctypes.c_void_p
        lib.ut_get_converter.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        lib.cv_convert_double.restype = ctypes.c_double
        lib.cv_convert_double.argtypes = [ctypes.c_void_p, ctypes.c_double]
        self.lib = lib
        self.system = lib.ut_read_xml(None)
        if not self.system:
            raise RuntimeError("UDUNITS has no units database")

    def parse(self, text):
        return self.lib.ut_parse(self.system, text.encode(), 0)  # UT_ASCII

    def convert(self, value, have, want):
        """`value` in the units `have`, in the units `want`; None when they differ in kind."""
        a, b = self.parse(have), self.parse(want)
        if not a or not b or not self.lib.ut_are_convertible(a, b):
            return None
        return self.lib.cv_convert_double(self.lib.ut_get_converter(a, b), value)


def run(out, *options, stop=STOP):
    subprocess.run([CLI, "run", "--quiet", "--par", PAR, "--drivers", DRR, "--start", "1",
                    "--stop", str(stop), "--out", out, *options], check=True)


class Standards(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        os.chdir(cls.folder.name)
        for name in ("run.out", "run.csv", "run.nc"):
            run(name)

    @classmethod
    def tearDownClass(cls):
        os.chdir("/")
        cls.folder.cleanup()

    def test_udunits_reads_every_units_attribute_as_its_quantity(self):
        try:
            udunits = Udunits()
        except OSError as missing:
            self.fail("the UDUNITS library (libudunits2) is missing: %s" % missing)
        ds = xr.open_dataset("run.nc", decode_times=False)
        self.assertEqual(len(ds.data_vars), 207)
        for name, variable in ds.data_vars.items():
            model_units = variable.attrs["vindrel_units"]
            units = variable.attrs["units"]
            want, factor = EXPECTED[model_units]
            got = udunits.convert(1.0, units, want)
            self.assertIsNotNone(got, "%s: %r is not a %s" % (name, units, want))
            if factor is None:
                self.assertAlmostEqual(udunits.convert(0.0, units, "K"), 273.15, 9, name)
                self.assertAlmostEqual(udunits.convert(25.0, units, "K"), 298.15, 9, name)
            else:
                self.assertAlmostEqual(got / factor, 1.0, 12, "%s: %r" % (name, units))
        # The model's texts stay, in the .out header and in attributes of their own.
        self.assertEqual(ds["Ps"].attrs["units"], "g m-2 d-1")
        self.assertEqual(ds["Ps"].attrs["vindrel_units"], "g C m-2 day-1")
        self.assertEqual(ds["Ps"].attrs["long_name"], "GPP: daily, carbon")
        self.assertEqual(ds["Ps"].attrs["vindrel_name"], "GPP: daily")
        self.assertEqual(ds["Ps"].attrs["standard_name"],
                         "gross_primary_productivity_of_biomass_expressed_as_carbon")
        self.assertEqual(ds["Tamax"].attrs["cell_methods"], "time: maximum")
        with open("run.out") as f:
            f.readline()
            self.assertIn("g C m-2 day-1", f.readline())
        self.assertIsNotNone(udunits.convert(2.0, ds["time"].attrs["units"],
                                             "days since 0001-01-01"))
        # The model's unit texts themselves are not what they mean.
        self.assertEqual(udunits.convert(1.0, "mm H2O", "m"), None)
        self.assertEqual(udunits.convert(1.0, "g C m-2 day-1", "kg m-2 s-1"), None)

    def test_xarray_masks_the_model_marker_values(self):
        raw = xr.open_dataset("run.nc", decode_times=False, mask_and_scale=False)
        ds = xr.open_dataset("run.nc", decode_times=False)
        drivers = ["DlambdaCF", "DlambdaCSW", "DlambdaCHW", "DlambdaCR", "DlambdaNF",
                   "DlambdaNSW", "DlambdaNHW", "DlambdaNR", "DNnh4", "DNno3"]
        marked = [name for name, v in ds.data_vars.items() if "_FillValue" in v.encoding]
        self.assertEqual(sorted(marked), sorted(drivers + ["Jdfs", "Jdws", "Jdrs"]))
        for name in drivers:
            self.assertEqual(ds[name].encoding["_FillValue"], -1.0, name)
            self.assertEqual(raw[name].attrs["missing_value"], -1.0, name)
            # The example prescribes none of them: every record is masked and
            # a mean finds no value, not a negative flux.
            self.assertTrue(np.all(raw[name].values == -1.0), name)
            self.assertTrue(bool(ds[name].isnull().all()), name)
        for name in ("Jdfs", "Jdws", "Jdrs"):
            days = raw[name].values
            started = days != 999.0
            self.assertTrue(started.any() and not started.all(), name)
            np.testing.assert_array_equal(ds[name].isnull().values, ~started, err_msg=name)
            self.assertEqual(float(ds[name].mean()), days[started].mean(), name)
            self.assertTrue(1.0 <= float(ds[name].min()) <= float(ds[name].max()) <= 366.0)
        self.assertIn("senescence", ds["Jdfs"].attrs["comment"])
        self.assertNotIn("_FillValue", ds["LAI"].encoding)

    def test_netcdf_names_its_inputs_command_and_program(self):
        ds = xr.open_dataset("run.nc", decode_times=False)
        self.assertEqual(ds.attrs["title"], "Vindrel 6.4.1 run of the parameter file %s with "
                         "the driver file %s" % (PAR, DRR))
        self.assertEqual(ds.attrs["source"], "Vindrel 6.4.1 forest ecosystem model")
        history = re.fullmatch(r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ): (.*) \(Vindrel 6\.4\.1\)",
                               ds.attrs["history"])
        self.assertIsNotNone(history, ds.attrs["history"])
        self.assertEqual(history.group(2),
                         "%s run --quiet --par %s --drivers %s --start 1 --stop %d --out run.nc"
                         % (CLI, PAR, DRR, STOP))
        for name, path in (("parameter_file", PAR), ("driver_file", DRR)):
            with open(path, "rb") as f:
                self.assertEqual(ds.attrs[name + "_sha256"], hashlib.sha256(f.read()).hexdigest())
        # An argument with a space or a quote is quoted as a shell takes it back.
        run("quoted name.nc", "--variables", "LAI,  Cf")
        history = xr.open_dataset("quoted name.nc").attrs["history"]
        self.assertIn("--out 'quoted name.nc' --variables 'LAI,  Cf' (Vindrel", history)

    def test_a_short_run_makes_a_small_netcdf_file(self):
        # One record: the 64-bit-offset format, without NetCDF-4's fixed cost
        # of about 3 kB a variable; its size is mostly the attributes.
        run("one.nc", stop=2)
        run("one.out", stop=2)
        run("one-lai.nc", "--variables", "LAI,NEP", stop=2)
        with open("one.nc", "rb") as f:
            self.assertEqual(f.read(4), b"CDF\x02")
        self.assertLess(os.path.getsize("one.nc"), 5 * os.path.getsize("one.out"))
        self.assertLess(os.path.getsize("one-lai.nc"), 2000)
        one = xr.open_dataset("one.nc", decode_times=False)
        self.assertEqual(one["LAI"].attrs["units"], "1")
        self.assertTrue(bool(one["DlambdaCF"].isnull().all()))
        whole = xr.open_dataset("run.nc", decode_times=False)
        self.assertEqual(float(one["LAI"].values[0]), float(whole["LAI"].values[0]))
        # The longer run is NetCDF-4, deflated.
        self.assertTrue(whole["LAI"].encoding["zlib"])

    def test_pandas_reads_every_csv_value_column_as_floating_point(self):
        csv = pd.read_csv("run.csv", skiprows=[1])
        self.assertEqual(csv["time"].dtype, np.int64)
        not_float = [name for name in csv.columns[1:] if csv[name].dtype != np.float64]
        self.assertEqual(not_float, [])
        # Among them columns whose every value is whole: the day, the
        # senescence days, the drivers that prescribe nothing.
        for name in ("Jday", "Jdfs", "DlambdaCF"):
            self.assertTrue((csv[name] == csv[name].round()).all(), name)
        self.assertTrue((csv["DlambdaCF"] == -1.0).all())
        with open("run.csv") as f:
            lines = [f.readline() for _ in range(3)]
        self.assertEqual(lines[1].split(",")[0], "days")
        self.assertTrue(lines[2].startswith("2,"), lines[2])
        self.assertIn(",-1.0,", lines[2])
        # The same doubles as the NetCDF file, every bit.
        exact = pd.read_csv("run.csv", skiprows=[1], float_precision="round_trip")
        nc = xr.open_dataset("run.nc", decode_times=False, mask_and_scale=False)
        for name in exact.columns:
            np.testing.assert_array_equal(exact[name].to_numpy(), nc[name].values, err_msg=name)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
