#include <gtest/gtest.h>

#include <string>

#include "core/exceptions.hpp"
#include "driver_test_support.hpp"
#include "fileio/driver_file.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::driver_file;
using testing::kStop;
using testing::Lookup;
using testing::small_model;
using testing::TempFolder;
using testing::Values;
using testing::write_bytes;

class DriverLookupSteps : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverLookupSteps);

TEST_P(DriverLookupSteps, RecordsAtZeroTenAndTwenty) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n20 5 6\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(0.0), Values(1.0, 2.0));
  EXPECT_EQ(lookup.at(5.0), Values(1.0, 2.0));
  EXPECT_EQ(lookup.at(9.99), Values(1.0, 2.0));
  EXPECT_EQ(lookup.at(10.0), Values(3.0, 4.0));
  EXPECT_EQ(lookup.at(15.0), Values(3.0, 4.0));
  EXPECT_EQ(lookup.at(20.0), Values(5.0, 6.0));
  EXPECT_EQ(lookup.lookup.next_time(), 2 * kStop) << "the end of the data";
  EXPECT_EQ(lookup.at(25.0), Values(5.0, 6.0));
  EXPECT_EQ(lookup.at(1000.0), Values(5.0, 6.0));
}

TEST_P(DriverLookupSteps, BeforeTheFirstRecordItsValuesApply) {
  TempFolder folder;
  const std::string path = driver_file(folder, "5 1 2\r\n10 3 4\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(0.0), Values(1.0, 2.0));
  EXPECT_EQ(lookup.lookup.previous_time(), 5.0);
  EXPECT_EQ(lookup.lookup.next_time(), 5.0);
  EXPECT_EQ(lookup.at(7.0), Values(1.0, 2.0));
  EXPECT_EQ(lookup.lookup.next_time(), 10.0);
}

class DriverLookupInterpolation : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverLookupInterpolation);

TEST_P(DriverLookupInterpolation, AtFourBetweenZeroAndMinusTen) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 -2\r\n-10 6 8\r\n");
  Lookup lookup(source(path));
  const Values at4 = lookup.at(4.0);
  EXPECT_DOUBLE_EQ(at4.first, 1.0 + 0.4 * (6.0 - 1.0));    // 3
  EXPECT_DOUBLE_EQ(at4.second, -2.0 + 0.4 * (8.0 + 2.0));  // 2
  EXPECT_EQ(lookup.at(10.0), Values(6.0, 8.0));
  EXPECT_EQ(lookup.at(12.0), Values(6.0, 8.0));
}

TEST_P(DriverLookupInterpolation, FollowsTheLineBetweenTheRecords) {
  TempFolder folder;
  const std::string path = driver_file(folder, "2 0 100\r\n-12 10 0\r\n20 7 7\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(2.0), Values(0.0, 100.0));
  for (double t = 2.0; t < 12.0; t += 0.5) {
    const Values v = lookup.at(t);
    const double f = (t - 2.0) / 10.0;
    EXPECT_NEAR(v.first, 10.0 * f, 1e-12) << t;
    EXPECT_NEAR(v.second, 100.0 - 100.0 * f, 1e-12) << t;
  }
  EXPECT_EQ(lookup.at(12.0), Values(10.0, 0.0));
  EXPECT_EQ(lookup.at(19.0), Values(10.0, 0.0)) << "a positive time is a step";
  EXPECT_EQ(lookup.at(20.0), Values(7.0, 7.0));
}

class DriverLookupRewind : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverLookupRewind);

TEST_P(DriverLookupRewind, BothTimesZeroStartsAgainFromTheFirstRecord) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n20 5 6\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(25.0), Values(5.0, 6.0));
  EXPECT_EQ(lookup.at(0.0), Values(5.0, 6.0)) << "without a rewind the lookup does not go back";
  lookup.lookup.rewind();
  EXPECT_EQ(lookup.lookup.previous_time(), 0.0);
  EXPECT_EQ(lookup.lookup.next_time(), 0.0);
  EXPECT_EQ(lookup.at(0.0), Values(1.0, 2.0));
  EXPECT_EQ(lookup.at(25.0), Values(5.0, 6.0));
  lookup.lookup.rewind();
  EXPECT_EQ(lookup.at(12.0), Values(3.0, 4.0));
}

TEST_P(DriverLookupRewind, TheRewindReopensTheFileAfterItWasClosed) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n");
  Lookup lookup(source(path));
  EXPECT_EQ(lookup.at(12.0), Values(3.0, 4.0));
  lookup.lookup.close();
  lookup.lookup.rewind();
  EXPECT_EQ(lookup.at(1.0), Values(1.0, 2.0));
}

TEST_P(DriverLookupRewind, ATableOtherThanTheLastOneGetsTheValuesInForce) {
  TempFolder folder;
  const std::string path = driver_file(folder, "0 1 2\r\n10 3 4\r\n");
  Lookup lookup(source(path));
  lookup.at(5.0);
  driverarray other = small_model().drivers;
  other[1].value = -99.0;
  lookup.lookup.GetDrivers(other, 6.0, kStop);
  EXPECT_EQ(other[1].value, 1.0);
  EXPECT_EQ(other[2].value, 2.0);
}

class DriverLookupNoData : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverLookupNoData);

TEST_P(DriverLookupNoData, AFileWithOnlyTheEndMarkerIsAnError) {
  TempFolder folder;
  // What a new driver file made at present time 0 holds: one all-zero record.
  const std::string path = folder.file("new.drr");
  Model model = small_model();
  model.drivers[1].value = 0.0;
  model.drivers[2].value = 0.0;
  DriverFileWriter writer;
  writer.open(path, model);
  writer.write_record(0.0, 2, model.drivers);
  writer.close();
  DriverLookup lookup;
  ASSERT_TRUE(lookup.open(source(path), model));
  model.drivers[1].value = 77.0;
  try {
    lookup.GetDrivers(model.drivers, 0.0, kStop);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), kNoDriverRecordMessage);
    EXPECT_EQ(error.file(), path);
  }
  EXPECT_EQ(model.drivers[1].value, 77.0);
}

TEST_P(DriverLookupNoData, AFileWithOnlyTheHeaderIsAnError) {
  TempFolder folder;
  for (const std::string& records : {std::string(), std::string("\r\n\r\n")}) {
    const std::string path = driver_file(folder, records);
    Lookup lookup(source(path));
    EXPECT_THROW(lookup.at(0.0), EInOutError);
  }
  const std::string empty = folder.file("empty.drr");
  write_bytes(empty, "");
  Lookup lookup(source(empty));
  EXPECT_THROW(lookup.at(0.0), EInOutError);
}

class DriverLookupLongFiles : public testing::ReaderTest {};
VINDREL_READ_FROM_FILE_AND_TEXT(DriverLookupLongFiles);

TEST_P(DriverLookupLongFiles, ReadsTenYearsOfDailyRecordsInOrder) {
  TempFolder folder;
  const std::string path = folder.file("long.drr");
  Model model = make_model();
  DriverFileWriter writer;
  writer.open(path, model);
  const int days = 10 * 366;
  for (int day = 1; day <= days; ++day) {
    for (int i = 1; i <= 18; ++i) model.drivers[i].value = day + i * 0.001;
    writer.write_record(day, 18, model.drivers);
  }
  writer.close();
  DriverLookup lookup;
  ASSERT_TRUE(lookup.open(source(path), model));
  for (int day = 1; day <= days; day += 37) {
    lookup.GetDrivers(model.drivers, day + 0.5, days);
    ASSERT_NEAR(model.drivers[18].value, day + 0.018, 1e-9);
  }
}

}  // namespace
}  // namespace vindrel
