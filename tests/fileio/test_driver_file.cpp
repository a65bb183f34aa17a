#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "driver_test_support.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::driver_file;
using testing::kStop;
using testing::Lookup;
using testing::read_bytes;
using testing::small_model;
using testing::TempFolder;
using testing::Values;
using testing::write_bytes;

TEST(DriverFileWriting, WritesTheExactBytesOfTheGoldenFile) {
  TempFolder folder;
  const std::string path = folder.file("out.drr");
  Model model = small_model();
  DriverFileWriter writer;
  writer.open(path, model);
  writer.write_record(0.0, 2, model.drivers);
  model.drivers[1].value = 1e-300;
  model.drivers[2].value = 123456.789;
  writer.write_record(-10.0, 2, model.drivers);
  model.drivers[1].value = -2.0 / 3.0;
  model.drivers[2].value = 0.0;
  writer.write_record(20.0, 2, model.drivers);
  writer.close();
  EXPECT_EQ(read_bytes(path), read_bytes(testing::golden_path("small.drr")));
}

TEST(DriverFileWriting, NothingReplacesTheTargetBeforeTheFileIsClosed) {
  TempFolder folder;
  const std::string path = folder.file("keep.drr");
  write_bytes(path, "previous");
  Model model = small_model();
  {
    DriverFileWriter writer;
    writer.open(path, model);
    writer.write_record(1.0, 2, model.drivers);
    EXPECT_EQ(read_bytes(path), "previous");
  }  // destroyed without closing: the new content is abandoned
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.drr"});
}

TEST(DriverFileWriting, AFailedSaveKeepsThePreviousFile) {
  TempFolder folder;
  const std::string path = folder.file("keep.drr");
  write_bytes(path, "previous");
  Model model = make_model();
  DriverFileWriter writer;
  try {
    testing::FileSizeLimit limit(8192);
    writer.open(path, model);
    for (int day = 1; day <= 100; ++day) writer.write_record(day, 18, model.drivers);
    writer.close();
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
  }
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.drr"});
}

TEST(DriverFileWriting, ANewFileHoldsOneRecordOfZeroDriversAtTheGivenTime) {
  TempFolder folder;
  const std::string path = folder.file("new.drr");
  Model model = small_model();
  create_driver_file(path, model.ModelInfo, model.drivers, 5.0);
  EXPECT_EQ(model.drivers[1].value, 1.5) << "the caller's table is not changed";
  EXPECT_EQ(read_bytes(path).substr(0, testing::driver_header().size()), testing::driver_header());
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(path));
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 5.0);
  EXPECT_EQ(model.drivers[1].value, 0.0);
  EXPECT_EQ(model.drivers[2].value, 0.0);
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));

  // At time 0 the record is the end marker: the file holds no record.
  create_driver_file(path, model.ModelInfo, model.drivers, 0.0);
  ASSERT_TRUE(reader.open(path));
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
}

TEST(DriverFileWriting, WritingWithoutOpeningIsAnError) {
  Model model = small_model();
  DriverFileWriter writer;
  try {
    writer.write_record(1.0, 2, model.drivers);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message().rfind("I/O error 105", 0), 0u);
  }
}

class DriverFileReading : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverFileReading);

TEST_P(DriverFileReading, ReadsTheGoldenFileRecordByRecord) {
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(testing::golden_path("small.drr"))));
  double time = 99.0;
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 0.0);
  EXPECT_EQ(model.drivers[1].value, 1.5);
  EXPECT_EQ(model.drivers[2].value, -0.00125);
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, -10.0);
  EXPECT_EQ(model.drivers[1].value, 1e-300);
  EXPECT_EQ(model.drivers[2].value, 123456.789);
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 20.0);
  EXPECT_EQ(model.drivers[1].value, -0.6666666666667);
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 20.0) << "the end of the data changes nothing";
  EXPECT_EQ(model.drivers[1].value, -0.6666666666667);
  reader.close();
}

TEST_P(DriverFileReading, TheEditorLayoutReadsLikeTheProgramLayout) {
  Model program = small_model();
  Model editor = small_model();
  DriverFileReader a;
  DriverFileReader b;
  ASSERT_TRUE(a.open(source(testing::golden_path("small.drr"))));
  ASSERT_TRUE(b.open(source(testing::golden_path("small_editor.drr"))));
  double ta = 0.0;
  double tb = 0.0;
  int records = 0;
  while (a.read_record(ta, 2, program.drivers)) {
    ASSERT_TRUE(b.read_record(tb, 2, editor.drivers));
    EXPECT_EQ(ta, tb);
    for (int i = 1; i <= 2; ++i) {
      const double x = program.drivers[i].value;
      EXPECT_NEAR(editor.drivers[i].value, x, 5e-13 * std::fabs(x));
    }
    ++records;
  }
  EXPECT_FALSE(b.read_record(tb, 2, editor.drivers));
  EXPECT_EQ(records, 3);
}

TEST(DriverEditorLines, HaveTheEditorLayout) {
  const Model model = small_model();
  const auto lines = testing::split_lines(read_bytes(testing::golden_path("small_editor.drr")));
  EXPECT_EQ(driver_editor_names_line(2, model.drivers), lines[0]);
  EXPECT_EQ(driver_editor_units_line(model.ModelInfo, model.drivers), lines[1]);
  driverarray drivers = model.drivers;
  EXPECT_EQ(driver_editor_record_line(0.0, 2, drivers), lines[2]);
  drivers[1].value = 1e-300;
  drivers[2].value = 123456.789;
  EXPECT_EQ(driver_editor_record_line(-10.0, 2, drivers), lines[3]);
}

TEST_P(DriverFileReading, ARoundTripKeepsThirteenSignificantDigits) {
  TempFolder folder;
  const std::string path = folder.file("round.drr");
  Model model = make_model();
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  std::vector<std::vector<double>> written;
  DriverFileWriter writer;
  writer.open(path, model);
  for (int day = 1; day <= 50; ++day) {
    std::vector<double> record{day + 0.5};
    for (int i = 1; i <= 18; ++i) {
      model.drivers[i].value = mantissa(random) * std::pow(10.0, exponent(random));
      record.push_back(model.drivers[i].value);
    }
    writer.write_record(record[0], 18, model.drivers);
    written.push_back(record);
  }
  writer.close();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  for (const auto& record : written) {
    ASSERT_TRUE(reader.read_record(time, 18, model.drivers));
    EXPECT_EQ(time, record[0]);
    for (int i = 1; i <= 18; ++i) {
      EXPECT_LE(std::fabs(model.drivers[i].value - record[i]),
                5.0000001e-13 * std::fabs(record[i]));
    }
  }
  EXPECT_FALSE(reader.read_record(time, 18, model.drivers));
}

TEST_P(DriverFileReading, RecordsMayContinueOnTheNextLineAndTheRestOfALineIsSkipped) {
  TempFolder folder;
  const std::string path = driver_file(folder,
                                       "1 10\r\n"
                                       "   20\r\n"
                                       "2\t30 40 999 remarks here\r\n"
                                       "3 50 60\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 1.0);
  EXPECT_EQ(model.drivers[2].value, 20.0);
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 2.0);
  EXPECT_EQ(model.drivers[2].value, 40.0);
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 3.0) << "999 and the remarks were skipped with the rest of their line";
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
}

TEST_P(DriverFileReading, AnEndMarkerInTheMiddleEndsTheData) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n0 0 0\r\n20 5 6\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  int records = 0;
  while (reader.read_record(time, 2, model.drivers)) ++records;
  EXPECT_EQ(records, 2);
  EXPECT_EQ(time, 10.0);
  EXPECT_EQ(model.drivers[1].value, 3.0);

  Lookup lookup_at(source(path));
  EXPECT_EQ(lookup_at.at(100.0), Values(3.0, 4.0)) << "the record after the marker is never read";
  EXPECT_EQ(lookup_at.lookup.next_time(), 2 * kStop);
}

TEST_P(DriverFileReading, EmptyLinesAtTheEndEndTheDataWithoutError) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n\r\n\r\n   \r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(50.0), Values(3.0, 4.0));
  double time = 0.0;
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
}

TEST_P(DriverFileReading, AShortenedEndMarkerAtTheEndIsTheEndOfTheData) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n0\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
}

TEST_P(DriverFileReading, AFileThatEndsInsideARecordIsAnError) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  try {
    reader.read_record(time, 2, model.drivers);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Unexpected end of file: expected driver 2 (Precipitation) of record 2");
    EXPECT_EQ(error.line(), 4u);
  }
  EXPECT_EQ(time, 0.0);
  EXPECT_EQ(model.drivers[1].value, 1.0) << "the broken record is not stored";
}

TEST_P(DriverFileReading, ANonNumericTokenFailsAndTheRecordIsNotStored) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 x4\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  try {
    reader.read_record(time, 2, model.drivers);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Invalid numeric input: expected driver 2 (Precipitation) of record 2, found \"x4\"");
    EXPECT_EQ(error.file(), path);
    EXPECT_EQ(error.line(), 4u);
  }
  EXPECT_EQ(time, 0.0);
  EXPECT_EQ(model.drivers[1].value, 1.0);
  EXPECT_EQ(model.drivers[2].value, 2.0);
}

TEST(DriverFileMissing, IsReportedAndTheLookupThenFails) {
  TempFolder folder;
  Model model = small_model();
  DriverLookup lookup;
  EXPECT_FALSE(lookup.open(folder.file("absent.drr"), model));
  EXPECT_FALSE(lookup.is_open());
  EXPECT_EQ(kDriverFileMissingMessage, "Cannot read driver file. File does not exist.");
  try {
    lookup.GetDrivers(model.drivers, 0.0, kStop);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File not found");
    EXPECT_EQ(error.file(), folder.file("absent.drr"));
  }
  DriverFileReader reader;
  EXPECT_FALSE(reader.open(folder.file("absent.drr")));
  EXPECT_FALSE(reader.is_open());
  double time = 0.0;
  try {
    reader.read_record(time, 2, model.drivers);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message().rfind("I/O error 104", 0), 0u);
  }
}

TEST_P(DriverFileReading, RecordTimesThatGoBackAreRefused) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n-5 5 6\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_TRUE(reader.read_record(time, 2, model.drivers));
  try {
    reader.read_record(time, 2, model.drivers);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Driver times out of order: expected the time of record 3 to be at least 10 (the "
              "time of record 2), found -5");
    EXPECT_EQ(error.line(), 5u);
  }
  EXPECT_EQ(time, 10.0);
  EXPECT_EQ(model.drivers[1].value, 3.0);
}

TEST_P(DriverFileReading, EqualRecordTimesAreAccepted) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n-10 5 6\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(10.0), Values(5.0, 6.0));
}

TEST_P(DriverFileReading, ARecordTimeThatIsNotFiniteIsRefused) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\nNan 3 4\r\n");
  Lookup lookup(source(path));
  try {
    lookup.at(100.0);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Invalid record time: expected the time of record 2 as a finite number, found "
              "\"Nan\"");
    EXPECT_EQ(error.line(), 4u);
  }
}

TEST_P(DriverFileReading, AFileWithoutHeaderLinesIsRefused) {
  TempFolder folder;
  const std::string path = folder.file("headless.drr");
  write_bytes(path, "0 1 2\r\n10 3 4\r\n20 5 6\r\n");
  Model model = small_model();
  DriverLookup lookup;
  try {
    lookup.open(source(path), model);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Missing header line: expected the names of the drivers on line 1, found a line of "
              "numbers");
    EXPECT_EQ(error.line(), 1u);
  }
}

TEST_P(DriverFileReading, HeaderNamesAreNeverCompared) {
  TempFolder folder;
  const std::string path = folder.file("other_names.drr");
  write_bytes(path, "t a b c d\r\n\r\n0 1 2\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(0.0), Values(1.0, 2.0));
}

}  // namespace
}  // namespace vindrel
