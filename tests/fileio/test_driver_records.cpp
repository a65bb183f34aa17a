// Driver records kept in memory against the file they were read from.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/driver_records.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;

const std::string kExampleDrivers =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.drr";

// The records of the file as the record reader reads them, against the kept ones.
void expect_the_reader_s_records(const DriverRecords& records, const std::string& path,
                                 const Model& model) {
  Model scratch = model;
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(path));
  const std::int32_t n = model.ModelInfo.DriverCount;
  for (std::size_t k = 0; k < records.size(); ++k) {
    double time = 0.0;
    ASSERT_TRUE(reader.read_record(time, n, scratch.drivers)) << k;
    const double* record = records.record(k);
    ASSERT_EQ(record[0], time) << k;
    for (std::int32_t i = 1; i <= n; ++i) ASSERT_EQ(record[i], scratch.drivers[i].value) << k;
  }
}

TEST(DriverRecords, HoldTheFileReadersRecordsUpToTheFirstPastTheLastTime) {
  const Model model = make_model();
  const auto whole =
      DriverRecords::read(kExampleDrivers, model, std::numeric_limits<double>::infinity());
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->size(), 10980U);
  EXPECT_TRUE(whole->at_end_of_data());
  EXPECT_FALSE(whole->failure());
  expect_the_reader_s_records(*whole, kExampleDrivers, model);

  // Daily records from day 1: a lookup up to day 100.5 reads day 101's record.
  const auto part = DriverRecords::read(kExampleDrivers, model, 100.5);
  ASSERT_EQ(part->size(), 101U);
  EXPECT_EQ(part->record(100)[0], 101.0);
  EXPECT_FALSE(part->at_end_of_data());
  expect_the_reader_s_records(*part, kExampleDrivers, model);

  EXPECT_EQ(DriverRecords::read("no-such-file.drr", model, 10.0), nullptr);
}

// Values of drivers 1 and 2 looked up day by day from `lookup` until it
// fails; the day it failed on and its message.
struct LookedUp {
  std::vector<double> values;
  double failed_at = 0.0;
  std::string message;
};
LookedUp look_up_daily(DriverLookup& lookup, Model& model, double last_day) {
  LookedUp seen;
  for (double day = 1.0; day <= last_day; day += 1.0) {
    try {
      lookup.GetDrivers(model.drivers, day, last_day);
    } catch (const EInOutError& e) {
      seen.failed_at = day;
      seen.message = e.what();
      return seen;
    }
    seen.values.push_back(model.drivers[1].value);
    seen.values.push_back(model.drivers[2].value);
  }
  return seen;
}

// The lookups of drivers 1 and 2, day by day, from the file and from its
// records read up to last_day.
struct FileAndMemory {
  LookedUp file;
  LookedUp memory;
  std::shared_ptr<const DriverRecords> records;
};
FileAndMemory look_up_both(const std::string& path, double last_day) {
  FileAndMemory both;
  Model model = make_model();
  DriverLookup from_file;
  EXPECT_TRUE(from_file.open(path, model));
  both.file = look_up_daily(from_file, model, last_day);
  both.records = DriverRecords::read(path, model, last_day);
  DriverLookup from_records;
  from_records.open(both.records);
  both.memory = look_up_daily(from_records, model, last_day);
  return both;
}

TEST(DriverRecords, ABrokenRecordFailsTheLookupWhereTheFileWouldWithItsMessage) {
  TempFolder folder;
  const std::string path = folder.file("broken.drr");
  std::string text = read_bytes(kExampleDrivers);
  // Line 500, record 498: its third number is spoiled.
  std::size_t line = 0;
  for (int i = 1; i < 500; ++i) line = text.find('\n', line) + 1;
  text.replace(text.find(' ', line + 30) + 1, 5, "x.2.3");
  write_bytes(path, text);

  const auto [file, memory, records] = look_up_both(path, 600.0);
  EXPECT_EQ(records->size(), 497U);
  ASSERT_TRUE(records->failure());
  EXPECT_EQ(file.failed_at, 497.0) << "the lookup reads one record ahead";
  EXPECT_EQ(memory.failed_at, file.failed_at);
  EXPECT_EQ(memory.message.rfind(path + ":500: Invalid numeric input: expected driver 2 ", 0), 0U)
      << memory.message;
  EXPECT_EQ(memory.message, file.message);
  EXPECT_EQ(memory.values, file.values);

  // A second lookup over the same records meets the same error.
  Model model = make_model();
  DriverLookup again;
  again.open(records);
  EXPECT_EQ(look_up_daily(again, model, 600.0).message, file.message);
}

TEST(DriverRecords, AFileWithoutRecordsFailsTheFirstLookupWithTheReadersLine) {
  TempFolder folder;
  const std::string path = folder.file("empty.drr");
  write_bytes(path, "Time\r\ndays\r\n\r\n");
  const auto [file, memory, records] = look_up_both(path, 3.0);
  EXPECT_EQ(memory.failed_at, 1.0);
  EXPECT_EQ(memory.message, file.message);
  EXPECT_NE(memory.message.find(std::string(kNoDriverRecordMessage)), std::string::npos);
}

}  // namespace
}  // namespace vindrel
