// Where a driver file's records end, and the writer's and reader's own state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "driver_test_support.hpp"
#include "fileio/driver_file.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::driver_file;
using testing::read_bytes;
using testing::small_model;
using testing::TempFolder;
using testing::write_bytes;

// The message of the EInOutError that last_driver_record_time throws.
std::string failure_of_last_time(const TextSource& source) {
  try {
    last_driver_record_time(source, small_model());
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.file(), source.name());
    return error.message();
  }
  ADD_FAILURE() << "no error for " << source.name();
  return {};
}

class LastDriverRecordTime : public testing::ReaderTest {
 protected:
  // The time of the last record of a driver file holding `records`.
  double last_time(const std::string& records) {
    return last_driver_record_time(source(driver_file(folder, records)), small_model());
  }
  // The message of the failure to find it.
  std::string failure(const std::string& records) {
    return failure_of_last_time(source(driver_file(folder, records)));
  }

  TempFolder folder;
};
VINDREL_READ_FROM_FILE_AND_TEXT(LastDriverRecordTime);

TEST_P(LastDriverRecordTime, IsTheTimeOfTheLastRecord) {
  EXPECT_EQ(last_time("0 1 2\r\n10 3 4\r\n20.5 5 6\r\n"), 20.5);
  EXPECT_EQ(last_time("7 1 2\r\n"), 7.0);
  EXPECT_EQ(
      last_driver_record_time(source(testing::golden_path("small_editor.drr")), small_model()),
      20.0);
}

TEST_P(LastDriverRecordTime, StopsAtTheEndMarker) {
  EXPECT_EQ(last_time("0 1 2\r\n10 3 4\r\n0 0 0\r\n30 5 6\r\n"), 10.0);
  EXPECT_EQ(last_time("0 1 2\r\n12 3 4\r\n\r\n\r\n"), 12.0);
}

TEST_P(LastDriverRecordTime, AnInterpolatedRecordGivesItsAbsoluteTime) {
  EXPECT_EQ(last_time("0 1 2\r\n-10 3 4\r\n-25 5 6\r\n"), 25.0);
}

TEST_P(LastDriverRecordTime, FailsLikeTheReader) {
  EXPECT_EQ(failure("0 1 2\r\n10 x 4\r\n20 5 6\r\n"),
            "Invalid numeric input: expected driver 1 (Air temperature max) of record 2, found "
            "\"x\"");
  EXPECT_EQ(failure("0 1 2\r\n10 3 4\r\n5 5 6\r\n"),
            "Driver times out of order: expected the time of record 3 to be at least 10 (the "
            "time of record 2), found 5");
  const std::string headless = folder.file("headless.drr");
  write_bytes(headless, "0 1 2\r\n");
  EXPECT_EQ(failure_of_last_time(source(headless)),
            "Missing header line: expected the names of the drivers on line 1, found a line of "
            "numbers");
}

TEST_P(LastDriverRecordTime, AFileWithoutUsableRecordIsAnError) {
  EXPECT_EQ(failure(""), kNoDriverRecordMessage);
  EXPECT_EQ(failure("0 0 0\r\n10 3 4\r\n"), kNoDriverRecordMessage);
}

TEST(LastDriverRecordTimeOfAFile, AMissingFileIsReported) {
  TempFolder folder;
  EXPECT_EQ(failure_of_last_time(folder.file("absent.drr")), kDriverFileMissingMessage);
}

TEST(DriverFileWriterState, AbandonKeepsThePreviousFileAndTheWriterStartsAgain) {
  TempFolder folder;
  const std::string path = folder.file("keep.drr");
  write_bytes(path, "previous");
  Model model = small_model();
  DriverFileWriter writer;
  EXPECT_FALSE(writer.is_open());
  writer.close();  // closing a writer that is not open does nothing
  writer.open(path, model);
  EXPECT_TRUE(writer.is_open());
  EXPECT_EQ(writer.file_name(), path);
  writer.write_record(1.0, 2, model.drivers);
  writer.abandon();
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.drr"});

  writer.open(path, model.ModelInfo, model.drivers);
  writer.write_record(3.0, 2, model.drivers);
  writer.close();
  EXPECT_FALSE(writer.is_open());
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(path));
  EXPECT_EQ(reader.file_name(), path);
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 3.0) << "only the second write reached the file";
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
  reader.close();
  EXPECT_FALSE(reader.is_open());
}

class DriverFileReaderState : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverFileReaderState);

TEST_P(DriverFileReaderState, OpeningAgainStartsFromTheFirstRecord) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n");
  Model model = small_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(source(path)));
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_FALSE(reader.read_record(time, 2, model.drivers));
  ASSERT_TRUE(reader.open(source(path)));
  ASSERT_TRUE(reader.read_record(time, 2, model.drivers));
  EXPECT_EQ(time, 0.0);
  EXPECT_EQ(model.drivers[1].value, 1.0);
}

}  // namespace
}  // namespace vindrel
