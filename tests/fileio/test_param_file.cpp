#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/exceptions.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_bytes;
using testing::small_model;
using testing::TempFolder;
using testing::write_bytes;

// A model whose values are all different from the small model's, to see what a
// read changes.
Model model_with_marker_values() {
  Model model = small_model();
  for (int i = 1; i <= 2; ++i) model.states[i].value = 1000.0 + i;
  for (int j = 1; j <= 4; ++j) model.parameters[j].value = 2000.0 + j;
  return model;
}

void expect_marker_values(const Model& model) {
  for (int i = 1; i <= 2; ++i) EXPECT_EQ(model.states[i].value, 1000.0 + i) << "state " << i;
  for (int j = 1; j <= 4; ++j)
    EXPECT_EQ(model.parameters[j].value, 2000.0 + j) << "parameter " << j;
}

std::string header_line(const std::string& first_line) {
  return first_line + "\r\n" + read_bytes(testing::golden_path("small.par")).substr(53);
}

TEST(ParamFileWriting, WritesTheExactBytesOfTheGoldenFile) {
  TempFolder folder;
  const std::string path = folder.file("small.par");
  WriteParamFile(path, small_model());
  EXPECT_EQ(read_bytes(path), read_bytes(testing::golden_path("small.par")));
}

TEST(ParamFileWriting, TheModelsFileHas170LinesOf74Characters) {
  const Model model = make_model();
  const std::string text =
      format_param_file(model.ModelInfo, model.ModelInfo.ParameterCount, model.parameters,
                        model.ModelInfo.StateCount, model.states);
  const auto lines = testing::split_lines(text);
  ASSERT_EQ(lines.size(), 170u);
  EXPECT_EQ(lines[0], "Vindrel" + std::string(18, ' ') + " " + "6.4.1" + std::string(20, ' '));
  for (std::size_t n = 1; n < lines.size(); ++n) {
    EXPECT_EQ(lines[n].size(), 74u) << "line " << n + 1;
    EXPECT_EQ(lines[n].substr(25, 23), " 0.00000000000000E+0000");
  }
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

TEST(ParamFileWriting, ReplacesAnExistingFile) {
  TempFolder folder;
  const std::string path = folder.file("old.par");
  write_bytes(path, std::string(100000, 'x'));
  WriteParamFile(path, small_model());
  EXPECT_EQ(read_bytes(path), read_bytes(testing::golden_path("small.par")));
  EXPECT_EQ(folder.entries().size(), 1u);
}

TEST(ParamFileWriting, AFailedSaveKeepsThePreviousFile) {
  TempFolder folder;
  const std::string path = folder.file("keep.par");
  const std::string previous = "previous content\r\n";
  write_bytes(path, previous);
  const Model model = make_model();
  try {
    testing::FileSizeLimit limit(4096);  // the model's file needs about 12.7 kB
    WriteParamFile(path, model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
    EXPECT_EQ(error.file(), path);
  }
  EXPECT_EQ(read_bytes(path), previous);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.par"}) << "no temporary file stays";
}

TEST(ParamFileWriting, AMissingFolderIsPathNotFound) {
  TempFolder folder;
  try {
    WriteParamFile(folder.file("no/such/folder.par"), small_model());
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Path not found");
  }
}

TEST(ParamFileWriting, AReadOnlyFileIsRefusedAndKept) {
  if (geteuid() == 0) GTEST_SKIP() << "the super-user may write any file";
  TempFolder folder;
  const std::string path = folder.file("locked.par");
  write_bytes(path, "locked");
  chmod(path.c_str(), 0444);
  EXPECT_THROW(WriteParamFile(path, small_model()), EInOutError);
  EXPECT_EQ(read_bytes(path), "locked");
}

class ParamFileReading : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(ParamFileReading);

TEST_P(ParamFileReading, ReadsTheGoldenFile) {
  Model model = model_with_marker_values();
  ASSERT_TRUE(ReadParamFile(source(testing::golden_path("small.par")), model));
  const Model expected = small_model();
  EXPECT_EQ(model.states[1].value, 1.5);
  EXPECT_EQ(model.states[2].value, -0.00125);
  EXPECT_EQ(model.parameters[1].value, 42.5);
  EXPECT_EQ(model.parameters[2].value, 0.0);
  EXPECT_EQ(model.parameters[3].value, 0.666666666666667);
  EXPECT_EQ(model.parameters[4].value, 1e-300);
  // Only values are read: names and units stay the model's own.
  EXPECT_EQ(model.states[2].name, expected.states[2].name);
  EXPECT_EQ(model.parameters[4].units, expected.parameters[4].units);
}

TEST_P(ParamFileReading, ARoundTripKeepsFifteenSignificantDigits) {
  TempFolder folder;
  const std::string path = folder.file("round.par");
  Model model = make_model();
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    model.states[i].value = mantissa(random) * std::pow(10.0, exponent(random));
  }
  for (int j = 1; j <= model.ModelInfo.ParameterCount; ++j) {
    model.parameters[j].value = mantissa(random) * std::pow(10.0, exponent(random));
  }
  WriteParamFile(path, model);
  Model read_back = make_model();
  ASSERT_TRUE(ReadParamFile(source(path), read_back));
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    const double x = model.states[i].value;
    EXPECT_LE(std::fabs(read_back.states[i].value - x), 5.0000001e-15 * std::fabs(x));
    EXPECT_EQ(param_real_text(read_back.states[i].value), param_real_text(x));
  }
  for (int j = 1; j <= model.ModelInfo.ParameterCount; ++j) {
    const double x = model.parameters[j].value;
    EXPECT_LE(std::fabs(read_back.parameters[j].value - x), 5.0000001e-15 * std::fabs(x));
  }
  // Written again, the file is byte for byte the same.
  const std::string again = folder.file("again.par");
  WriteParamFile(again, read_back);
  EXPECT_EQ(read_bytes(again), read_bytes(path));
}

TEST_P(ParamFileReading, ReadsValuesEditedByHandIntoShorterForms) {
  TempFolder folder;
  const std::string path = folder.file("edited.par");
  // Every line keeps its 25-character name field; the values are moved about.
  const auto line = [](std::string name, const std::string& rest) {
    name.resize(25, ' ');
    return name + rest;
  };
  write_bytes(path, "Vindrel                   6.4.1\r\n" + line("C: foliar", "2.5 g C\r\n") +
                        line("N: soil mineral ammonium", "\t-3e-2\r\n") +
                        line("latitude", "   +42.25     degrees and more text\r\n") +
                        line("Foliage C Density", "1E2\n") + line("two thirds", ".5\r\n") +
                        line("Canopy conductance max", "-0\r\n"));
  Model model = model_with_marker_values();
  ASSERT_TRUE(ReadParamFile(source(path), model));
  EXPECT_EQ(model.states[1].value, 2.5);
  EXPECT_EQ(model.states[2].value, -0.03);
  EXPECT_EQ(model.parameters[1].value, 42.25);
  EXPECT_EQ(model.parameters[2].value, 100.0);
  EXPECT_EQ(model.parameters[3].value, 0.5);
  EXPECT_EQ(model.parameters[4].value, 0.0);
}

TEST_P(ParamFileReading, LinesAfterTheLastValueAreIgnored) {
  TempFolder folder;
  const std::string path = folder.file("longer.par");
  write_bytes(path, read_bytes(testing::golden_path("small.par")) + "extra line abc\r\n1 2 3\r\n");
  Model model = model_with_marker_values();
  EXPECT_TRUE(ReadParamFile(source(path), model));
  EXPECT_EQ(model.parameters[4].value, 1e-300);
}

TEST(ParamFileHeader, AcceptsTheWrittenHeader) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_TRUE(param_header_matches("Vindrel                   6.4.1                    ", info));
}

TEST(ParamFileHeader, AcceptsTheNameInAnyLetterCase) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_TRUE(param_header_matches("vindrel                   6.4.1", info));
  EXPECT_TRUE(param_header_matches("VINDREL                   6.4.1", info));
}

TEST(ParamFileHeader, AcceptsSpacesMovedWithinTheFirst26Columns) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_TRUE(param_header_matches("   Vin drel               6.4.1", info));
  EXPECT_TRUE(param_header_matches("                   Vindrel6.4.1", info));
}

TEST(ParamFileHeader, AcceptsTrailingSpacesAfterTheVersion) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_TRUE(param_header_matches("Vindrel                   6.4.1     ", info));
  EXPECT_TRUE(param_header_matches("Vindrel                   6.4.1 anything after a space", info));
}

TEST(ParamFileHeader, RefusesOtherVersions) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_FALSE(param_header_matches("Vindrel                   6.4", info));
  EXPECT_FALSE(param_header_matches("Vindrel                   6.4.10", info));
  EXPECT_FALSE(param_header_matches("Vindrel                   6.4.1\t", info));
  EXPECT_FALSE(param_header_matches("Vindrel                    6.4.1", info));
}

TEST(ParamFileHeader, RefusesNameOneSpaceAndVersion) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_FALSE(param_header_matches("Vindrel 6.4.1", info));
}

TEST(ParamFileHeader, RefusesOtherNamesTabsAndShortLines) {
  const TModelDef info = small_model().ModelInfo;
  EXPECT_FALSE(param_header_matches("Vindrel2                  6.4.1", info));
  EXPECT_FALSE(param_header_matches("Vindrel\t                  6.4.1", info));
  EXPECT_FALSE(param_header_matches("Vindrel", info));
  EXPECT_FALSE(param_header_matches("", info));
}

TEST_P(ParamFileReading, AnIncompatibleFileIsRefusedAndChangesNothing) {
  TempFolder folder;
  for (const char* first_line :
       {"Vindrel                   6.4", "Vindrel                   6.4.10", "Vindrel 6.4.1",
        "Other model               6.4.1", ""}) {
    const std::string path = folder.file("incompatible.par");
    write_bytes(path, header_line(first_line));
    Model model = model_with_marker_values();
    EXPECT_FALSE(ReadParamFile(source(path), model)) << first_line;
    expect_marker_values(model);
  }
  EXPECT_EQ(kIncompatibleParamFileMessage,
            "The parameter file selected is not compatible with this model. No parameters read.");
}

TEST_P(ParamFileReading, AnEmptyFileIsIncompatible) {
  TempFolder folder;
  const std::string path = folder.file("empty.par");
  write_bytes(path, "");
  Model model = model_with_marker_values();
  EXPECT_FALSE(ReadParamFile(source(path), model));
  expect_marker_values(model);
}

TEST_P(ParamFileReading, ALowerCaseNameIsAccepted) {
  TempFolder folder;
  const std::string path = folder.file("lower.par");
  write_bytes(path, header_line("vindrel                   6.4.1"));
  Model model = model_with_marker_values();
  EXPECT_TRUE(ReadParamFile(source(path), model));
  EXPECT_EQ(model.states[1].value, 1.5);
}

TEST_P(ParamFileReading, ANonNumericValueFailsWithItsPlaceAndChangesNothing) {
  TempFolder folder;
  const std::string path = folder.file("bad.par");
  std::string text = read_bytes(testing::golden_path("small.par"));
  // Line 5 holds parameter 2, "Foliage C Density".
  text.replace(text.find(" 0.00000000000000E+0000"), 23, "  abc                  ");
  write_bytes(path, text);
  Model model = model_with_marker_values();
  try {
    ReadParamFile(source(path), model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Invalid numeric input: expected the value of parameter 2 (Foliage C Density), "
              "found \"abc\"");
    EXPECT_EQ(error.file(), path);
    EXPECT_EQ(error.line(), 5u);
  }
  expect_marker_values(model);
}

TEST_P(ParamFileReading, AFileThatEndsEarlyFailsAndChangesNothing) {
  TempFolder folder;
  const std::string path = folder.file("short.par");
  const std::string text = read_bytes(testing::golden_path("small.par"));
  // Keep the header, both states and the first parameter.
  std::size_t end = 0;
  for (int n = 0; n < 4; ++n) end = text.find("\r\n", end) + 2;
  write_bytes(path, text.substr(0, end) + "\r\n\r\n");
  Model model = model_with_marker_values();
  try {
    ReadParamFile(source(path), model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Unexpected end of file: expected the value of parameter 2 (Foliage C Density)");
    EXPECT_EQ(error.line(), 7u);
  }
  expect_marker_values(model);
}

TEST_P(ParamFileReading, ATooLongTokenFailsInsteadOfShiftingTheValues) {
  TempFolder folder;
  const std::string path = folder.file("long.par");
  std::string text = read_bytes(testing::golden_path("small.par"));
  // 80 digits where the first state's value stands: cut after 64 characters,
  // its rest must not become the next value.
  text.replace(text.find(" 1.50000000000000E+0000"), 23, " " + std::string(80, '1'));
  write_bytes(path, text);
  Model model = model_with_marker_values();
  try {
    ReadParamFile(source(path), model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message().rfind("Invalid numeric input: expected the value of state 1 "
                                    "(C: foliar), found a token longer than 64 characters",
                                    0),
              0u)
        << error.message();
    EXPECT_EQ(error.line(), 2u);
  }
  expect_marker_values(model);
}

TEST(ParamFileMissing, IsFileNotFound) {
  TempFolder folder;
  Model model = model_with_marker_values();
  try {
    ReadParamFile(folder.file("absent.par"), model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File not found");
  }
  expect_marker_values(model);
}

TEST_P(ParamFileReading, ReadsIntoPrivateTablesOfTheSameShape) {
  const Model model = small_model();
  statearray states{};
  paramarray parameters{};
  ASSERT_TRUE(ReadParamFile(source(testing::golden_path("small.par")), model.ModelInfo,
                            model.ModelInfo.ParameterCount, parameters, model.ModelInfo.StateCount,
                            states));
  EXPECT_EQ(states[1].value, 1.5);
  EXPECT_EQ(parameters[1].value, 42.5);
  EXPECT_EQ(parameters[5].value, 0.0) << "entries beyond the count stay empty";
}

TEST_P(ParamFileReading, NonFiniteValuesWrittenByTheProgramReadBack) {
  TempFolder folder;
  const std::string path = folder.file("nan.par");
  Model model = small_model();
  model.parameters[1].value = std::numeric_limits<double>::quiet_NaN();
  model.parameters[2].value = -std::numeric_limits<double>::infinity();
  WriteParamFile(path, model);
  EXPECT_NE(read_bytes(path).find("                    Nan "), std::string::npos);
  Model read_back = model_with_marker_values();
  ASSERT_TRUE(ReadParamFile(source(path), read_back));
  EXPECT_TRUE(std::isnan(read_back.parameters[1].value));
  EXPECT_EQ(read_back.parameters[2].value, -std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace vindrel
