#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "fileio/output_file.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_bytes;
using testing::small_model;
using testing::TempFolder;
using testing::write_bytes;

// The values of the golden file's second record.
void set_second_record(Model& model) {
  model.drivers[1].value = -1.5;
  model.drivers[2].value = 0.0;
  model.states[1].value = 1e-300;
  model.states[2].value = 2.0 / 3.0;
  model.processes[3].value = 1234567890123456.0;
}

TEST(OutputFileWriting, WritesTheExactBytesOfTheGoldenFile) {
  TempFolder folder;
  const std::string path = folder.file("run.out");
  Model model = small_model();
  model.processes[1].value = 111.0;  // derivatives are never written
  OutputFileWriter output;
  output.open(path, model);
  output.write_record(model, 2.0);
  set_second_record(model);
  output.write_record(model, 0.00001);
  output.close();
  EXPECT_EQ(read_bytes(path), read_bytes(testing::golden_path("small.out")));
}

TEST(OutputFileWriting, TheModelsRecordsHave208Fields) {
  TempFolder folder;
  const std::string path = folder.file("model.out");
  Model model = make_model();
  OutputFileWriter output;
  output.open(path, model);
  for (int t = 2; t <= 10; t += 2) output.write_record(model, t);
  output.close();
  const auto lines = testing::split_lines(read_bytes(path));
  ASSERT_EQ(lines.size(), 7u);
  for (const std::string& line : lines) {
    ASSERT_EQ(line.size(), 208u * 26u);
    for (std::size_t k = 25; k < line.size(); k += 26) ASSERT_EQ(line[k], ' ');
  }
  EXPECT_EQ(lines[0].substr(0, 26), std::string(21, ' ') + "Time ");
  EXPECT_EQ(lines[1].substr(0, 26), std::string(21, ' ') + "days ");
  EXPECT_EQ(lines[6].substr(0, 26), std::string(23, ' ') + "10 ");
  // The first process column holds process 56, not the derivative of state 1.
  EXPECT_EQ(lines[0].substr((1 + 18 + 55) * 26, 25),
            std::string(25 - model.processes[56].name.size(), ' ') + model.processes[56].name);
}

TEST(OutputFileWriting, AFailedCreationKeepsThePreviousFile) {
  TempFolder folder;
  const std::string path = folder.file("keep.out");
  write_bytes(path, "previous run");
  const Model model = make_model();
  OutputFileWriter output;
  try {
    testing::FileSizeLimit limit(4096);  // the header alone needs 10.8 kB
    output.open(path, model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
    EXPECT_EQ(error.file(), path);
  }
  EXPECT_FALSE(output.is_open());
  EXPECT_EQ(read_bytes(path), "previous run");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.out"});
}

TEST(OutputFileWriting, AFullDiskIsReportedNotLostSilently) {
  OutputFileWriter output;
  const Model model = small_model();
  try {
    output.open("/dev/full", model);
    for (int t = 1; t <= 100; ++t) output.write_record(model, t);
    output.close();
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
    EXPECT_EQ(error.file(), "/dev/full");
  }
}

TEST(OutputFileWriting, AFailedWriteLeavesThePreviousFileAndNoTemporaryFile) {
  TempFolder folder;
  const std::string path = folder.file("partial.out");
  write_bytes(path, "the previous run's records\r\n");
  const Model model = make_model();
  OutputFileWriter output;
  output.open(path, model);
  std::size_t written = 0;
  try {
    testing::FileSizeLimit limit(40 * 5410);
    for (int t = 1; t <= 1000; ++t) {
      output.write_record(model, t);
      ++written;
    }
    output.close();
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
  }
  output.close();
  EXPECT_GE(written, 30u);
  EXPECT_LT(written, 1000u);
  EXPECT_EQ(read_bytes(path), "the previous run's records\r\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"partial.out"});
}

TEST(OutputFileWriting, TheFileTakesTheTargetsPlaceWhenClosed) {
  TempFolder folder;
  const std::string path = folder.file("run.out");
  write_bytes(path, "previous\r\n");
  const Model model = small_model();
  OutputFileWriter output;
  output.open(path, model);
  for (int t = 1; t <= 3; ++t) output.write_record(model, t);
  EXPECT_EQ(read_bytes(path), "previous\r\n") << "the previous file until the new one is whole";
  output.close();
  const std::string text = read_bytes(path);
  const std::size_t line = text.find('\n') + 1;
  EXPECT_EQ(text.size(), 5 * line) << "the header and three records";
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"run.out"});
}

TEST(OutputFileWriting, WritingWithoutOpeningIsAnError) {
  OutputFileWriter output;
  try {
    output.write_record(small_model(), 1.0);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message().rfind("I/O error 105", 0), 0u);
  }
}

class OutputFileReading : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(OutputFileReading);

TEST_P(OutputFileReading, ReadsTheGoldenFile) {
  Model model = small_model();
  OutputFileReader output;
  output.open(source(testing::golden_path("small.out")));
  double time = 0.0;
  ASSERT_TRUE(output.read_record(time, model));
  EXPECT_EQ(time, 2.0);
  EXPECT_EQ(model.drivers[2].value, -0.00125);
  EXPECT_EQ(model.processes[3].value, 4.25);
  ASSERT_TRUE(output.read_record(time, model));
  EXPECT_EQ(time, 0.00001);
  EXPECT_EQ(model.drivers[1].value, -1.5);
  EXPECT_EQ(model.states[1].value, 1e-300);
  EXPECT_EQ(model.states[2].value, 0.6666666666667);
  EXPECT_EQ(model.processes[3].value, 1234567890123000.0);
  EXPECT_FALSE(output.read_record(time, model));
  EXPECT_EQ(time, 0.00001) << "the end changes nothing";
  output.close();
}

TEST_P(OutputFileReading, ARoundTripKeepsFifteenDigitsOfTimeAndThirteenOfValues) {
  TempFolder folder;
  const std::string path = folder.file("round.out");
  Model model = make_model();
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  const auto draw = [&] { return mantissa(random) * std::pow(10.0, exponent(random)); };
  std::vector<std::vector<double>> written;
  OutputFileWriter output;
  output.open(path, model);
  for (int n = 0; n < 20; ++n) {
    std::vector<double> record{std::fabs(draw())};
    for (int i = 1; i <= 18; ++i) record.push_back(model.drivers[i].value = draw());
    for (int i = 1; i <= 55; ++i) record.push_back(model.states[i].value = draw());
    for (int i = 56; i <= 189; ++i) record.push_back(model.processes[i].value = draw());
    output.write_record(model, record[0]);
    written.push_back(record);
  }
  output.close();

  Model read_back = make_model();
  OutputFileReader input;
  input.open(source(path));
  double time = 0.0;
  for (const auto& record : written) {
    ASSERT_TRUE(input.read_record(time, read_back));
    EXPECT_LE(std::fabs(time - record[0]), 5.0000001e-15 * record[0]);
    std::size_t k = 1;
    for (int i = 1; i <= 18; ++i, ++k) {
      EXPECT_LE(std::fabs(read_back.drivers[i].value - record[k]),
                5.0000001e-13 * std::fabs(record[k]));
    }
    for (int i = 1; i <= 55; ++i, ++k) {
      EXPECT_LE(std::fabs(read_back.states[i].value - record[k]),
                5.0000001e-13 * std::fabs(record[k]));
    }
    for (int i = 56; i <= 189; ++i, ++k) {
      EXPECT_LE(std::fabs(read_back.processes[i].value - record[k]),
                5.0000001e-13 * std::fabs(record[k]));
    }
  }
  EXPECT_FALSE(input.read_record(time, read_back));
}

TEST_P(OutputFileReading, EmptyLinesAtTheEndGiveNoExtraRecord) {
  TempFolder folder;
  const std::string path = folder.file("blank.out");
  write_bytes(path, read_bytes(testing::golden_path("small.out")) + "\r\n\r\n  \r\n");
  Model model = small_model();
  OutputFileReader output;
  output.open(source(path));
  double time = 0.0;
  int records = 0;
  while (output.read_record(time, model)) ++records;
  EXPECT_EQ(records, 2);
  EXPECT_EQ(time, 0.00001);
  EXPECT_EQ(model.states[1].value, 1e-300);
}

TEST_P(OutputFileReading, AFileThatEndsInsideARecordIsAnError) {
  TempFolder folder;
  const std::string path = folder.file("cut.out");
  const std::string text = read_bytes(testing::golden_path("small.out"));
  write_bytes(path, text.substr(0, text.size() - 2 * 26));  // the last record loses 2 columns
  Model model = small_model();
  OutputFileReader output;
  output.open(source(path));
  double time = 0.0;
  ASSERT_TRUE(output.read_record(time, model));
  try {
    output.read_record(time, model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Unexpected end of file: expected column 5 (state 2, N: soil mineral ammonium "
              "total) of record 2");
    EXPECT_EQ(error.line(), 4u);
  }
  EXPECT_EQ(time, 2.0) << "the broken record is not stored";
  EXPECT_EQ(model.drivers[1].value, 1.5);
}

TEST_P(OutputFileReading, ANonNumericTokenNamesItsColumn) {
  TempFolder folder;
  const std::string path = folder.file("bad.out");
  std::string text = read_bytes(testing::golden_path("small.out"));
  text.replace(text.rfind("4.250000000000E+000"), 19, "4.25OOOOOOOOOOE+000");
  write_bytes(path, text);
  Model model = small_model();
  OutputFileReader output;
  output.open(source(path));
  double time = 0.0;
  try {
    output.read_record(time, model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Invalid numeric input: expected column 6 (process 3, LAI) of record 1, found "
              "\"4.25OOOOOOOOOOE+000\"");
    EXPECT_EQ(error.file(), path);
    EXPECT_EQ(error.line(), 3u);
  }
  EXPECT_EQ(model.drivers[1].value, 1.5);
  EXPECT_EQ(model.processes[3].value, 4.25);
}

TEST_P(OutputFileReading, AFileWithoutItsUnitsLineIsRefused) {
  TempFolder folder;
  const std::string path = folder.file("no_units.out");
  const auto lines = testing::split_lines(read_bytes(testing::golden_path("small.out")));
  write_bytes(path, lines[0] + "\r\n" + lines[2] + "\r\n" + lines[3] + "\r\n");
  Model model = small_model();
  OutputFileReader output;
  try {
    output.open(source(path));
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Missing header line: expected the units of the columns on line 2, found a line of "
              "numbers");
    EXPECT_EQ(error.line(), 2u);
  }
}

TEST(OutputFileMissing, IsFileNotFound) {
  TempFolder folder;
  OutputFileReader output;
  Model model = small_model();
  try {
    output.open(folder.file("absent.out"));
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File not found");
  }
  double time = 0.0;
  EXPECT_THROW(output.read_record(time, model), EInOutError);
}

}  // namespace
}  // namespace vindrel
