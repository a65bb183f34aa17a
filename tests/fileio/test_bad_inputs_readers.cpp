// The catalogue of bad inputs for the three file readers: files cut short,
// from another model or version, with words, commas, NUL bytes, garbage, very
// long tokens and lines, out-of-range exponents, driver times out of order,
// missing header lines, folders, missing and unreadable files. Each must be
// refused with a message that names the file, the line (where one applies) and
// what was expected there, and must change no file and no value of the model.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "tests/fileio/bad_inputs_support.hpp"

namespace vindrel {
namespace {

using testing::TempFolder;
using testing::write_bytes;
namespace t = vindrel::testing;

enum class Reader { kParameters, kDrivers, kOutput };

struct BadInput {
  const char* name;
  Reader reader;
  std::string (*make)(const TempFolder& folder);  // writes the input, returns its name
  bool refused;         // the reader says no without an error (incompatible, missing)
  const char* message;  // how the error's message starts
  const char* detail;   // what else it must say ("" for nothing more)
  std::size_t line;     // the line it must name (0: no line applies)
  bool needs_permission_bits = false;
};

// Writes `text` as the input file `name`.
std::string input(const TempFolder& folder, const std::string& name, const std::string& text) {
  const std::string path = folder.file(name);
  write_bytes(path, text);
  return path;
}
std::string par(const TempFolder& f, const std::string& text) { return input(f, "in.par", text); }
std::string drr(const TempFolder& f, const std::string& text) { return input(f, "in.drr", text); }
std::string out(const TempFolder& f, const std::string& text) { return input(f, "in.out", text); }

std::string unreadable(const std::string& path) {
  chmod(path.c_str(), 0);
  return path;
}

const std::string kLongDigits(300, '7');
const std::string kMegabyte(1 << 20, 'x');

// clang-format off
const std::vector<BadInput> kCatalogue = {
  // Parameter files.
  {"ParamEmptyFile", Reader::kParameters,
   [](const TempFolder& f) { return par(f, ""); }, true, "", "", 0},
  {"ParamOtherModel", Reader::kParameters,
   [](const TempFolder& f) { return par(f, "Forest" + t::good_param_text().substr(6)); }, true, "", "", 0},
  {"ParamOlderVersion", Reader::kParameters,
   [](const TempFolder& f) {
     std::string text = t::good_param_text();
     text.replace(26, 5, "6.3  ");
     return par(f, text);
   }, true, "", "", 0},
  {"ParamNameAndVersionOneSpaceApart", Reader::kParameters,
   [](const TempFolder& f) { return par(f, "Vindrel 6.4.1\r\n" + t::good_param_text().substr(53)); },
   true, "", "", 0},
  {"ParamBinaryGarbage", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::binary_garbage(20000)); }, true, "", "", 0},
  {"ParamHeaderOnly", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::lines_between(t::good_param_text(), 1, 1)); },
   false, "Unexpected end of file: expected the value of state 1 (C: foliar)", "", 2},
  {"ParamCutAtALineEnd", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::lines_between(t::good_param_text(), 1, 100)); },
   false, "Unexpected end of file: expected the value of parameter 45 ", "", 101},
  {"ParamCutInsideAValue", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::good_param_text().substr(0, 53 + 78 * 76 + 40)); },
   false, "Unexpected end of file: expected the value of parameter 25 ", "", 80},
  {"ParamWordForANumber", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 81, "abc")); },
   false, "Invalid numeric input: expected the value of parameter 25 (Foliage C Density), "
          "found \"abc\"", "", 81},
  {"ParamDecimalComma", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 4, "1,5")); },
   false, "Invalid numeric input: expected the value of state 3 ", "found \"1,5\"", 4},
  {"ParamMissingValue", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 20, "")); },
   false, "Invalid numeric input: expected the value of state 19 ", "found \"", 20},
  {"ParamVeryLongToken", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 10, kLongDigits)); },
   false, "Invalid numeric input: expected the value of state 9 ",
   "found a token longer than 64 characters", 10},
  {"ParamVeryLongLine", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 30, kMegabyte)); },
   false, "Invalid numeric input: expected the value of state 29 ",
   "found a token longer than 64 characters", 30},
  {"ParamNulBytes", Reader::kParameters,
   [](const TempFolder& f) {
     return par(f, t::with_param_value(t::good_param_text(), 12, std::string("1.5\0\0", 5)));
   }, false, "Invalid numeric input: expected the value of state 11 ", "found \"1.5??\"", 12},
  {"ParamGarbageAfterTheHeader", Reader::kParameters,
   [](const TempFolder& f) {
     return par(f, t::lines_between(t::good_param_text(), 1, 1) + t::binary_garbage(5000));
   }, false, "Invalid numeric input: expected the value of state 1 (C: foliar)", "", 2},
  {"ParamHugeExponent", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 60, "1e999")); },
   false, "Invalid numeric input: expected the value of parameter 4 ", "found \"1e999\"", 60},
  {"ParamTinyExponent", Reader::kParameters,
   [](const TempFolder& f) { return par(f, t::with_param_value(t::good_param_text(), 61, "1e-999")); },
   false, "Invalid numeric input: expected the value of parameter 5 ", "found \"1e-999\"", 61},
  {"ParamOldMacLineEnds", Reader::kParameters,
   [](const TempFolder& f) {
     std::string text = t::good_param_text();
     std::erase(text, '\n');
     return par(f, text);
   }, false, "Unexpected end of file: expected the value of state 1 ", "", 1},
  {"ParamFolder", Reader::kParameters,
   [](const TempFolder& f) { return f.file(""); },
   false, "File access denied: the name is a folder, not a file", "", 0},
  {"ParamMissingFile", Reader::kParameters,
   [](const TempFolder& f) { return f.file("no-such.par"); }, false, "File not found", "", 0},
  {"ParamUnreadableFile", Reader::kParameters,
   [](const TempFolder& f) { return unreadable(par(f, t::good_param_text())); },
   false, "File access denied", "", 0, true},

  // Driver files, looked up day by day as a run does.
  {"DriverEmptyFile", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, ""); }, false, kNoDriverRecordMessage.data(), "", 1},
  {"DriverHeaderOnly", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::lines_between(t::good_driver_text(f), 1, 2)); },
   false, kNoDriverRecordMessage.data(), "", 3},
  {"DriverMissingHeaderLines", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::lines_between(t::good_driver_text(f), 3, 22)); },
   false, "Missing header line: expected the names of the drivers on line 1, found a line of "
          "numbers", "", 1},
  {"DriverMissingUnitsLine", Reader::kDrivers,
   [](const TempFolder& f) {
     const std::string text = t::good_driver_text(f);
     return drr(f, t::lines_between(text, 1, 1) + t::lines_between(text, 3, 22));
   }, false, "Missing header line: expected the units of the drivers on line 2", "", 2},
  {"DriverWordForANumber", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 6, 6, "x")); },
   false, "Invalid numeric input: expected driver 6 (Incid Shortwave) of record 4, found \"x\"",
   "", 6},
  {"DriverDecimalComma", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 5, 2, "21,5")); },
   false, "Invalid numeric input: expected driver 2 ", "of record 3, found \"21,5\"", 5},
  {"DriverTimesThatGoBack", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 7, 0, "2")); },
   false, "Driver times out of order: expected the time of record 5 to be at least 4 (the time "
          "of record 4), found 2", "", 7},
  {"DriverNegativeTimeOutOfTurn", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 7, 0, "-3")); },
   false, "Driver times out of order: expected the time of record 5 to be at least 4", "found -3",
   7},
  {"DriverTimeNotANumber", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 5, 0, "nan")); },
   false, "Invalid record time: expected the time of record 3 as a finite number, found \"nan\"",
   "", 5},
  {"DriverCutInsideARecord", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::cut_after_fields(t::good_driver_text(f), 8, 10)); },
   false, "Unexpected end of file: expected driver 10 ", "of record 6", 8},
  {"DriverVeryLongToken", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 4, 3, kLongDigits)); },
   false, "Invalid numeric input: expected driver 3 ",
   "of record 2, found a token longer than 64 characters", 4},
  {"DriverVeryLongLine", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 9, 1, kMegabyte)); },
   false, "Invalid numeric input: expected driver 1 ", "found a token longer than 64 characters", 9},
  {"DriverNulBytes", Reader::kDrivers,
   [](const TempFolder& f) {
     return drr(f, t::with_field(t::good_driver_text(f), 3, 5, std::string("3.6\0", 4)));
   }, false, "Invalid numeric input: expected driver 5 ", "of record 1, found \"3.6?\"", 3},
  {"DriverGarbageAfterTheHeader", Reader::kDrivers,
   [](const TempFolder& f) {
     return drr(f, t::lines_between(t::good_driver_text(f), 1, 2) + t::binary_garbage(3000));
   }, false, "Invalid numeric input: expected the time of record 1", "", 3},
  {"DriverHugeExponent", Reader::kDrivers,
   [](const TempFolder& f) { return drr(f, t::with_field(t::good_driver_text(f), 10, 4, "9e9999")); },
   false, "Invalid numeric input: expected driver 4 ", "of record 8, found \"9e9999\"", 10},
  {"DriverFolder", Reader::kDrivers,
   [](const TempFolder& f) { return f.file(""); },
   false, "File access denied: the name is a folder, not a file", "", 0},
  {"DriverMissingFile", Reader::kDrivers,
   [](const TempFolder& f) { return f.file("no-such.drr"); }, true, "File not found", "", 0},
  {"DriverUnreadableFile", Reader::kDrivers,
   [](const TempFolder& f) { return unreadable(drr(f, t::good_driver_text(f))); },
   false, "File access denied", "", 0, true},

  // Output files, read record by record as the output display does.
  {"OutputWordForANumber", Reader::kOutput,
   [](const TempFolder& f) { return out(f, t::with_field(t::good_output_text(f), 4, 19, "n/a")); },
   false, "Invalid numeric input: expected column 20 (state 1, C: foliar) of record 2, "
          "found \"n/a\"", "", 4},
  {"OutputCutInsideARecord", Reader::kOutput,
   [](const TempFolder& f) { return out(f, t::cut_after_fields(t::good_output_text(f), 5, 100)); },
   false, "Unexpected end of file: expected column 101 ", "of record 3", 5},
  {"OutputMissingHeaderLines", Reader::kOutput,
   [](const TempFolder& f) { return out(f, t::lines_between(t::good_output_text(f), 3, 5)); },
   false, "Missing header line: expected the names of the columns on line 1", "", 1},
  {"OutputGarbageAfterTheHeader", Reader::kOutput,
   [](const TempFolder& f) {
     return out(f, t::lines_between(t::good_output_text(f), 1, 2) + t::binary_garbage(3000));
   }, false, "Invalid numeric input: expected column 1 (time) of record 1", "", 3},
  {"OutputHugeExponent", Reader::kOutput,
   [](const TempFolder& f) { return out(f, t::with_field(t::good_output_text(f), 3, 0, "1e400")); },
   false, "Invalid numeric input: expected column 1 (time) of record 1, found \"1e400\"", "", 3},
  {"OutputFolder", Reader::kOutput,
   [](const TempFolder& f) { return f.file(""); },
   false, "File access denied: the name is a folder, not a file", "", 0},
  {"OutputMissingFile", Reader::kOutput,
   [](const TempFolder& f) { return f.file("no-such.out"); }, false, "File not found", "", 0},
};
// clang-format on

struct ReadOutcome {
  bool refused = false;
  std::optional<EInOutError> error;
  bool failure_changed_values = false;
};

ReadOutcome read_parameters(const std::string& path, Model& model) {
  ReadOutcome outcome;
  try {
    outcome.refused = !ReadParamFile(path, model);
  } catch (const EInOutError& error) {
    outcome.error = error;
  }
  return outcome;
}

// As a run does: the drivers of every day from 1 to 20.
ReadOutcome read_drivers(const std::string& path, Model& model) {
  ReadOutcome outcome;
  DriverLookup lookup;
  try {
    outcome.refused = !lookup.open(path, model);
    lookup.rewind();
    for (int day = 1; day <= 20; ++day) {
      const std::vector<double> before = t::driver_values(model);
      try {
        lookup.GetDrivers(model.drivers, day, 20.0);
      } catch (const EInOutError&) {
        outcome.failure_changed_values = t::driver_values(model) != before;
        throw;
      }
    }
  } catch (const EInOutError& error) {
    outcome.error = error;
  }
  return outcome;
}

// As the output display does: every record into private copies of the tables.
ReadOutcome read_output(const std::string& path, const Model& model) {
  ReadOutcome outcome;
  Model table = model;
  OutputFileReader file;
  try {
    file.open(path);
    double time = 0.0;
    for (;;) {
      const std::vector<double> before = t::all_values(table);
      try {
        if (!file.read_record(time, table)) break;
      } catch (const EInOutError&) {
        outcome.failure_changed_values = t::all_values(table) != before;
        throw;
      }
    }
  } catch (const EInOutError& error) {
    outcome.error = error;
  }
  return outcome;
}

// Test names and failure messages show a case by its name.
void PrintTo(const BadInput& bad, std::ostream* out) { *out << bad.name; }

class BadReaderInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadReaderInput, IsRefusedWithItsPlaceAndChangesNothing) {
  const BadInput& bad = GetParam();
  if (bad.needs_permission_bits && geteuid() == 0) {
    GTEST_SKIP() << "running as root, whom permission bits do not stop from reading";
  }
  TempFolder folder;
  const std::string path = bad.make(folder);
  const auto files_before = t::folder_contents(folder.file(""));
  Model model = support::temperate_forest();
  const std::vector<double> values_before = t::all_values(model);

  ReadOutcome outcome;
  switch (bad.reader) {
    case Reader::kParameters:
      outcome = read_parameters(path, model);
      break;
    case Reader::kDrivers:
      outcome = read_drivers(path, model);
      break;
    case Reader::kOutput:
      outcome = read_output(path, model);
      break;
  }

  EXPECT_EQ(outcome.refused, bad.refused);
  if (bad.message[0] != '\0') {
    ASSERT_TRUE(outcome.error.has_value()) << "no error";
    const EInOutError& error = *outcome.error;
    EXPECT_EQ(error.file(), path);
    EXPECT_EQ(error.line(), bad.line) << error.what();
    EXPECT_EQ(error.message().rfind(bad.message, 0), 0u) << error.message();
    EXPECT_NE(error.message().find(bad.detail), std::string::npos) << error.message();
    const std::string place =
        bad.line > 0 ? path + ":" + std::to_string(bad.line) + ": " : path + ": ";
    EXPECT_EQ(std::string(error.what()).rfind(place, 0), 0u) << error.what();
  } else {
    EXPECT_FALSE(outcome.error.has_value()) << outcome.error->what();
  }
  EXPECT_FALSE(outcome.failure_changed_values);
  if (bad.reader == Reader::kDrivers) {
    // Lookups before the failure set the drivers; nothing else may change.
    Model expected = support::temperate_forest();
    expected.drivers = model.drivers;
    EXPECT_EQ(t::all_values(model), t::all_values(expected));
  } else {
    EXPECT_EQ(t::all_values(model), values_before);
  }
  EXPECT_EQ(t::changed_files(files_before, t::folder_contents(folder.file(""))),
            std::vector<std::string>{});
  chmod(path.c_str(), 0600);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadReaderInput, ::testing::ValuesIn(kCatalogue),
                         [](const ::testing::TestParamInfo<BadInput>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace vindrel
