// The catalogue of bad inputs for vindrel-cli: parameter and driver files cut
// short, from another model or version, with words, commas, NUL bytes,
// garbage, very long tokens and lines, out-of-range exponents, driver times out
// of order, missing header lines; folders, missing, unreadable and unwritable
// paths; a full disk; parameters that make the equations fail; times that are
// not numbers; outputs that name an input (by another spelling or a link too);
// values that make no sense; an unknown command. Each ends with one line on
// standard error that names the file, the line where one applies and what was
// expected (a failure of the model adds when and where it arose), a non-zero
// exit, and no change to any file: the parameter file, the driver file and the
// previous output file keep their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/fileio/bad_inputs_support.hpp"

namespace vindrel {
namespace {

using testing::run_cli;
using testing::TempFolder;
using testing::write_bytes;
namespace t = vindrel::testing;

constexpr const char* kPreviousOutput = "results of an earlier run\r\n";

// The files of one case: a good parameter file, twenty days of good drivers
// and the output of an earlier run, which a refused run must leave alone.
struct Files {
  const TempFolder& folder;
  std::string par;
  std::string drr;
  std::string out;

  std::string quoted(const std::string& path) const { return "'" + path + "'"; }
  // A run from day 1 to day 10 with the given files.
  std::string run(const std::string& par_file, const std::string& drr_file,
                  const std::string& out_file,
                  const std::string& times = "--start 1 --stop 10") const {
    return "run --par " + quoted(par_file) + " --drivers " + quoted(drr_file) + " --out " +
           quoted(out_file) + " " + times + " --quiet";
  }
  std::string run_with_par(const std::string& text) const {
    write_bytes(par, text);
    return run(par, drr, out);
  }
  std::string run_with_drivers(const std::string& text) const {
    write_bytes(drr, text);
    return run(par, drr, out);
  }
};

struct Expectation {
  std::string args;
  std::string error;        // how standard error starts, after "vindrel-cli: error: "
  std::string detail = "";  // what else it says
  int exit_code = 1;
  int lines = 1;  // a failure of the model adds when and where it arose
};

struct CliBadInput {
  const char* name;
  Expectation (*make)(const Files& files);
  bool needs_permission_bits = false;
};

std::string good_drivers(const Files& f) { return t::good_driver_text(f.folder); }
const std::string kIncompatible = std::string(kIncompatibleParamFileMessage);
const std::string kNeverReplaced = "; an output never replaces an input: choose another file for ";
const std::string kExpectedHeader =
    " Expected the model name \"Vindrel\" in columns 1 to 26 and the version \"6.4.1\" after "
    "them on line 1, found ";

// clang-format off
const std::vector<CliBadInput> kCatalogue = {
  // Parameter files.
  {"ParamEmptyFile", [](const Files& f) -> Expectation {
     return {f.run_with_par(""), f.par + ":1: " + kIncompatible + kExpectedHeader + "an empty file."};
   }},
  {"ParamOtherModel", [](const Files& f) -> Expectation {
     return {f.run_with_par("Forest " + t::good_param_text().substr(7)),
             f.par + ":1: " + kIncompatible, "found \"Forest"};
   }},
  {"ParamOlderVersion", [](const Files& f) -> Expectation {
     std::string text = t::good_param_text();
     text.replace(26, 5, "6.3  ");
     return {f.run_with_par(text), f.par + ":1: " + kIncompatible,
             "found \"Vindrel                   6.3\"."};
   }},
  {"ParamBinaryGarbage", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::binary_garbage(20000)), f.par + ":1: " + kIncompatible, "found \""};
   }},
  {"ParamHeaderOnly", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::lines_between(t::good_param_text(), 1, 1)),
             f.par + ":2: Unexpected end of file: expected the value of state 1 (C: foliar)"};
   }},
  {"ParamCutShort", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::lines_between(t::good_param_text(), 1, 100)),
             f.par + ":101: Unexpected end of file: expected the value of parameter 45 "};
   }},
  {"ParamWordForANumber", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::with_param_value(t::good_param_text(), 81, "abc")),
             f.par + ":81: Invalid numeric input: expected the value of parameter 25 (Foliage C "
                     "Density), found \"abc\""};
   }},
  {"ParamDecimalComma", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::with_param_value(t::good_param_text(), 4, "1,5")),
             f.par + ":4: Invalid numeric input: expected the value of state 3 ", "found \"1,5\""};
   }},
  {"ParamVeryLongToken", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::with_param_value(t::good_param_text(), 10, std::string(5000, '9'))),
             f.par + ":10: Invalid numeric input: expected the value of state 9 ",
             "found a token longer than 64 characters"};
   }},
  {"ParamNulBytes", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::with_param_value(t::good_param_text(), 12, std::string("\0\0", 2))),
             f.par + ":12: Invalid numeric input: expected the value of state 11 ", "found \"??\""};
   }},
  {"ParamHugeExponent", [](const Files& f) -> Expectation {
     return {f.run_with_par(t::with_param_value(t::good_param_text(), 60, "1e999")),
             f.par + ":60: Invalid numeric input: expected the value of parameter 4 ",
             "found \"1e999\""};
   }},
  {"ParamFolder", [](const Files& f) -> Expectation {
     const std::string folder = f.folder.file("");
     return {f.run(folder, f.drr, f.out),
             folder + ": File access denied: the name is a folder, not a file"};
   }},
  {"ParamMissingFile", [](const Files& f) -> Expectation {
     const std::string missing = f.folder.file("no-such.par");
     return {f.run(missing, f.drr, f.out), missing + ": File not found"};
   }},
  {"ParamUnreadableFile", [](const Files& f) -> Expectation {
     chmod(f.par.c_str(), 0);
     return {f.run(f.par, f.drr, f.out), f.par + ": File access denied"};
   }, true},
  {"ParamZeroFoliageDensity", [](const Files& f) -> Expectation {
     // A well-formed file whose mF = 0 makes LAI = Cf / mF divide by zero.
     Model model = support::temperate_forest();
     model.parameters[parameter::mF].value = 0.0;
     const TModelDef& info = model.ModelInfo;
     return {f.run_with_par(format_param_file(info, info.ParameterCount, model.parameters,
                                            info.StateCount, model.states)),
             "Division by zero\n  in the evaluation at the start time, 1, before the first step; "
             "no record was written\n",
             "  the equation group where it arose: climate and water balance (group a)\n", 1, 3};
   }},

  // Driver files.
  {"DriverEmptyFile", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(""), f.drr + ":1: " + std::string(kNoDriverRecordMessage)};
   }},
  {"DriverHeaderOnly", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::lines_between(good_drivers(f), 1, 2)),
             f.drr + ":3: " + std::string(kNoDriverRecordMessage)};
   }},
  {"DriverMissingHeaderLines", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::lines_between(good_drivers(f), 3, 22)),
             f.drr + ":1: Missing header line: expected the names of the drivers on line 1, found "
                     "a line of numbers"};
   }},
  {"DriverWordForANumber", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 6, 6, "x")),
             f.drr + ":6: Invalid numeric input: expected driver 6 (Incid Shortwave) of record 4, "
                     "found \"x\""};
   }},
  {"DriverTimesThatGoBack", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 7, 0, "2")),
             f.drr + ":7: Driver times out of order: expected the time of record 5 to be at least "
                     "4 (the time of record 4), found 2"};
   }},
  {"DriverNegativeTimeOutOfTurn", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 9, 0, "-1")),
             f.drr + ":9: Driver times out of order: expected the time of record 7 to be at least 6",
             "found -1"};
   }},
  {"DriverTimeNotANumber", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 5, 0, "inf")),
             f.drr + ":5: Invalid record time: expected the time of record 3 as a finite number, "
                     "found \"inf\""};
   }},
  {"DriverCutInsideARecord", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::cut_after_fields(good_drivers(f), 8, 10)),
             f.drr + ":8: Unexpected end of file: expected driver 10 ", "of record 6"};
   }},
  {"DriverVeryLongLine", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 9, 1, std::string(1 << 20, '5'))),
             f.drr + ":9: Invalid numeric input: expected driver 1 ",
             "found a token longer than 64 characters"};
   }},
  {"DriverNulBytes", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 3, 5, std::string("3.6\0", 4))),
             f.drr + ":3: Invalid numeric input: expected driver 5 ", "found \"3.6?\""};
   }},
  {"DriverGarbageAfterTheHeader", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::lines_between(good_drivers(f), 1, 2) + t::binary_garbage(3000)),
             f.drr + ":3: Invalid numeric input: expected the time of record 1"};
   }},
  {"DriverHugeExponent", [](const Files& f) -> Expectation {
     return {f.run_with_drivers(t::with_field(good_drivers(f), 10, 4, "9e9999")),
             f.drr + ":10: Invalid numeric input: expected driver 4 ", "found \"9e9999\""};
   }},
  {"DriverFolder", [](const Files& f) -> Expectation {
     const std::string folder = f.folder.file("");
     return {f.run(f.par, folder, f.out),
             folder + ": File access denied: the name is a folder, not a file"};
   }},
  {"DriverMissingFile", [](const Files& f) -> Expectation {
     const std::string missing = f.folder.file("no-such.drr");
     return {f.run(f.par, missing, f.out),
             missing + ": " + std::string(kDriverFileMissingMessage)};
   }},
  {"DriverUnreadableFile", [](const Files& f) -> Expectation {
     chmod(f.drr.c_str(), 0);
     return {f.run(f.par, f.drr, f.out), f.drr + ": File access denied"};
   }, true},

  // Output files.
  {"OutputOnAFullDisk", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, "/dev/full"), "/dev/full: Disk full"};
   }},
  {"OutputInAMissingFolder", [](const Files& f) -> Expectation {
     const std::string path = f.folder.file("no-such-folder/run.out");
     return {f.run(f.par, f.drr, path), path + ": Path not found"};
   }},
  {"OutputOverAFolder", [](const Files& f) -> Expectation {
     const std::string folder = f.folder.file("");
     return {f.run(f.par, f.drr, folder),
             folder + ": File access denied: the name is a folder, not a file"};
   }},
  {"OutputInAReadOnlyFolder", [](const Files& f) -> Expectation {
     chmod(f.folder.file("").c_str(), 0555);
     return {f.run(f.par, f.drr, f.out), f.out + ": File access denied"};
   }, true},
  {"OutputReadOnlyFile", [](const Files& f) -> Expectation {
     chmod(f.out.c_str(), 0444);
     return {f.run(f.par, f.drr, f.out), f.out + ": File access denied"};
   }, true},

  // Times and the evaluation: a value an option cannot take is a mistake in
  // the command line, exit status 2 as for the parser's own.
  {"StopTimeOverflows", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--start 1 --stop 1e400"),
             "--stop: expected a finite number of days, found +Inf", "", 2};
   }},
  {"TimeStepNotANumber", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--stop 10 --step nan"),
             "--step: expected a finite number of days, found Nan", "", 2};
   }},
  {"UnknownIntegrator", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--stop 10 --integrator rk45"),
             "--integrator: \"rk45\" is not one of rk4, dopri5, rkf78", "", 2};
   }},
  {"ToleranceOfOne", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--stop 10 --integrator dopri5 --rtol 1"),
             "--rtol: expected a relative tolerance greater than 0 and less than 1, found 1", "", 2};
   }},
  {"StopBeforeStart", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--start 20 --stop 10"),
             "--stop: expected a time after the start time 20, found 10", "", 2};
   }},
  {"EvalWithAWordForANumber", [](const Files& f) -> Expectation {
     write_bytes(f.par, t::with_param_value(t::good_param_text(), 81, "abc"));
     return {"eval --par " + f.quoted(f.par) + " --drivers " + f.quoted(f.drr) + " --time 3",
             f.par + ":81: Invalid numeric input: expected the value of parameter 25 "};
   }},
  {"EvalWithDriverTimesThatGoBack", [](const Files& f) -> Expectation {
     write_bytes(f.drr, t::with_field(good_drivers(f), 7, 0, "2"));
     return {"eval --par " + f.quoted(f.par) + " --drivers " + f.quoted(f.drr) + " --time 9",
             f.drr + ":7: Driver times out of order: expected the time of record 5 "};
   }},
  {"EvalTimeOverflows", [](const Files& f) -> Expectation {
     return {"eval --par " + f.quoted(f.par) + " --drivers " + f.quoted(f.drr) + " --time -1e999",
             "--time: expected a finite number of days, found -Inf", "", 2};
   }},

  // Outputs that are inputs: refused before anything is written, however the
  // file is named.
  {"OutputIsTheDriverFile", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.drr),
             "--out and --drivers name the same file, " + f.drr + kNeverReplaced + "--out"};
   }},
  {"OutputIsTheDriverFileSpelledAnotherWay", [](const Files& f) -> Expectation {
     const std::string spelled = f.folder.file("./weather.drr");
     return {f.run(f.par, f.drr, spelled),
             "--out and --drivers name the same file, " + spelled + kNeverReplaced + "--out"};
   }},
  {"OutputIsALinkToTheParameterFile", [](const Files& f) -> Expectation {
     const std::string link = f.folder.file("link.par");
     symlink(f.par.c_str(), link.c_str());
     return {f.run(f.par, f.drr, link),
             "--out and --par name the same file, " + link + kNeverReplaced + "--out"};
   }},
  {"SavedStatesOverTheParameterFile", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out) + " --save-states " + f.quoted(f.par),
             "--save-states and --par name the same file, " + f.par + kNeverReplaced +
                 "--save-states"};
   }},
  {"SavedStatesOverTheOutput", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out) + " --save-states " + f.quoted(f.out),
             "--out and --save-states name the same file, " + f.out +
                 "; each output needs a file of its own"};
   }},
  {"ParameterFileOverItsValues", [](const Files& f) -> Expectation {
     const std::string values = f.folder.file("forest.values");
     write_bytes(values, "Cf 6\n");
     return {"par --values " + f.quoted(values) + " --out " + f.quoted(values),
             "--out and --values name the same file, " + values + kNeverReplaced + "--out"};
   }},

  // Values that make no sense.
  {"RepeatDriversOfZeroDays", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--stop 10 --repeat-drivers 0"),
             "--repeat-drivers: expected a whole number of days greater than 0, found 0", "", 2};
   }},
  {"NegativeOutputStep", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--stop 10 --output-step -1"),
             "--output-step: expected a number of days greater than 0, found -1", "", 2};
   }},
  {"TimeStepLongerThanTheRun", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out, "--start 1 --stop 10 --step 20"),
             "--step: the time step of 20 days is longer than the run from --start to --stop (9 "
             "days); no step would be taken", "", 2};
   }},
  {"EmptyNamesInAStateList", [](const Files& f) -> Expectation {
     return {f.run(f.par, f.drr, f.out) + " --hold ,,",
             "--hold: the list \",,\" has an empty name; name states by symbol or position, "
             "separated by commas (Cf,Nf)", "", 2};
   }},
  {"WeatherWithANegativeSeed", [](const Files& f) -> Expectation {
     return {"weather --years 1 --seed -1 --out " + f.quoted(f.folder.file("new.drr")),
             "--seed: expected a whole number from 0 to 18446744073709551615, found \"-1\"", "", 2};
   }},
  {"WeatherSouthOfTheEquator", [](const Files& f) -> Expectation {
     return {"weather --years 1 --latitude -33 --out " + f.quoted(f.folder.file("new.drr")),
             "--latitude: the generator makes northern weather only (0 to 90 degrees)", "", 2};
   }},
  {"ValuesListThatIsAFolder", [](const Files& f) -> Expectation {
     const std::string folder = f.folder.file("");
     return {"par --values " + f.quoted(folder) + " --out " + f.quoted(f.folder.file("new.par")),
             folder + ": the name is a folder, not a list of values"};
   }},
  {"UnknownCommand", [](const Files&) -> Expectation {
     return {"simulate --years 3", "\"simulate\" is not a command; the commands are list, run, ",
             "eval", 2, 2};
   }},
};
// clang-format on

// Test names and failure messages show a case by its name.
void PrintTo(const CliBadInput& bad, std::ostream* out) { *out << bad.name; }

class CliBadInputTest : public ::testing::TestWithParam<CliBadInput> {};

TEST_P(CliBadInputTest, ExitsNonZeroWithOneClearLineAndChangesNoFile) {
  const CliBadInput& bad = GetParam();
  if (bad.needs_permission_bits && geteuid() == 0) {
    GTEST_SKIP() << "running as root, whom permission bits do not stop";
  }
  TempFolder folder;
  const Files files{folder, folder.file("forest.par"), folder.file("weather.drr"),
                    folder.file("run.out")};
  WriteParamFile(files.par, support::temperate_forest());
  write_bytes(files.drr, t::good_driver_text(folder));
  write_bytes(files.out, kPreviousOutput);
  const Expectation expected = bad.make(files);
  const auto contents_before = t::folder_contents(folder.file(""));

  const auto result = run_cli(expected.args);
  const auto contents_after = t::folder_contents(folder.file(""));
  chmod(folder.file("").c_str(), 0755);
  for (const std::string& name : {files.par, files.drr, files.out}) chmod(name.c_str(), 0644);

  EXPECT_EQ(result.exit_code, expected.exit_code) << result.err;
  EXPECT_EQ(result.out, "");
  const std::string start = "vindrel-cli: error: " + expected.error;
  EXPECT_EQ(result.err.rfind(start, 0), 0u) << result.err << "expected it to start with\n" << start;
  EXPECT_NE(result.err.find(expected.detail), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), expected.lines) << result.err;
  EXPECT_EQ(result.err.back(), '\n');
  EXPECT_EQ(t::changed_files(contents_before, contents_after), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CliBadInputTest, ::testing::ValuesIn(kCatalogue),
                         [](const ::testing::TestParamInfo<CliBadInput>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace vindrel
