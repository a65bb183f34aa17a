// Saves that fail midway (a full disk, a read-only folder, /dev/full, a folder
// or a missing folder in place of the file) leave the previous parameter or
// driver file exactly as it was, leave no temporary file behind, change no
// value of the model, and say which file and what went wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "tests/fileio/bad_inputs_support.hpp"

namespace vindrel {
namespace {

using testing::FileSizeLimit;
using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;
namespace t = vindrel::testing;

constexpr const char* kPrevious = "the previous file, which must survive\r\n";

// Runs `save` and returns the error it throws; fails the test when it throws none.
EInOutError save_error(const std::function<void()>& save) {
  try {
    save();
  } catch (const EInOutError& error) {
    return error;
  }
  ADD_FAILURE() << "the save did not fail";
  return EInOutError("", "");
}

// A driver file of `days` daily records, written through the lookup's writer.
void save_drivers(const std::string& path, const Model& model, int days) {
  DriverFileWriter writer;
  writer.open(path, model);
  for (int day = 1; day <= days; ++day)
    writer.write_record(day, model.ModelInfo.DriverCount, model.drivers);
  writer.close();
}

class SaveFailure : public ::testing::Test {
 protected:
  void SetUp() override { write_bytes(target, kPrevious); }

  // The previous file is intact, nothing else is in the folder and the model's
  // values are as they were.
  void expect_nothing_changed() {
    EXPECT_EQ(read_bytes(target), kPrevious);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"target"});
    EXPECT_EQ(t::all_values(model), values_before);
  }

  TempFolder folder;
  const std::string target = folder.file("target");
  Model model = support::temperate_forest();
  const std::vector<double> values_before = t::all_values(model);
};

TEST_F(SaveFailure, ParameterFileOnAFullDiskKeepsThePreviousFile) {
  EInOutError error("", "");
  {
    FileSizeLimit limit(t::good_param_text().size() / 2);
    error = save_error([&] { WriteParamFile(target, model); });
  }
  EXPECT_EQ(error.message(), "Disk full");
  EXPECT_EQ(error.file(), target);
  expect_nothing_changed();
  // Once there is room again the same save goes through.
  WriteParamFile(target, model);
  EXPECT_EQ(read_bytes(target), t::good_param_text());
}

TEST_F(SaveFailure, ParameterFileOnDevFullSaysDiskFull) {
  const EInOutError error = save_error([&] { WriteParamFile("/dev/full", model); });
  EXPECT_EQ(error.message(), "Disk full");
  EXPECT_EQ(error.file(), "/dev/full");
  expect_nothing_changed();
}

TEST_F(SaveFailure, ParameterFileInAMissingFolderSaysPathNotFound) {
  const std::string path = folder.file("no-such-folder/forest.par");
  const EInOutError error = save_error([&] { WriteParamFile(path, model); });
  EXPECT_EQ(error.message(), "Path not found");
  EXPECT_EQ(error.file(), path);
  expect_nothing_changed();
}

TEST_F(SaveFailure, ParameterFileOverAFolderLeavesTheFolderAlone) {
  const std::string path = folder.file("a-folder");
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  write_bytes(path + "/inside", kPrevious);
  const EInOutError error = save_error([&] { WriteParamFile(path, model); });
  EXPECT_EQ(error.message(), "File access denied: the name is a folder, not a file");
  EXPECT_EQ(error.file(), path);
  EXPECT_EQ(read_bytes(path + "/inside"), kPrevious);
  EXPECT_EQ(read_bytes(target), kPrevious);
}

TEST_F(SaveFailure, ParameterFileInAReadOnlyFolderKeepsThePreviousFile) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, whom permission bits do not stop";
  ASSERT_EQ(chmod(folder.file("").c_str(), 0555), 0);
  const EInOutError error = save_error([&] { WriteParamFile(target, model); });
  chmod(folder.file("").c_str(), 0755);
  EXPECT_EQ(error.message(), "File access denied");
  EXPECT_EQ(error.file(), target);
  expect_nothing_changed();
}

TEST_F(SaveFailure, DriverFileOnAFullDiskMidwayKeepsThePreviousFile) {
  // A century of daily records is far more than the 64 KiB allowed: the disk
  // fills while records are being written.
  EInOutError error("", "");
  {
    FileSizeLimit limit(64 * 1024);
    error = save_error([&] { save_drivers(target, model, 36600); });
  }
  EXPECT_EQ(error.message(), "Disk full");
  EXPECT_EQ(error.file(), target);
  expect_nothing_changed();
}

TEST_F(SaveFailure, DriverFileOnDevFullSaysDiskFull) {
  const EInOutError error = save_error([&] { save_drivers("/dev/full", model, 3); });
  EXPECT_EQ(error.message(), "Disk full");
  EXPECT_EQ(error.file(), "/dev/full");
  expect_nothing_changed();
}

TEST_F(SaveFailure, DriverFileInAReadOnlyFolderKeepsThePreviousFile) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, whom permission bits do not stop";
  ASSERT_EQ(chmod(folder.file("").c_str(), 0555), 0);
  const EInOutError error = save_error([&] { save_drivers(target, model, 3); });
  chmod(folder.file("").c_str(), 0755);
  EXPECT_EQ(error.message(), "File access denied");
  expect_nothing_changed();
}

TEST_F(SaveFailure, AbandonedDriverSaveKeepsThePreviousFile) {
  // The writer is dropped before it is closed, as when the program fails
  // between two records: the previous file stays.
  {
    DriverFileWriter writer;
    writer.open(target, model);
    writer.write_record(1.0, model.ModelInfo.DriverCount, model.drivers);
  }
  expect_nothing_changed();
}

TEST_F(SaveFailure, OutputFileOnDevFullSaysDiskFull) {
  OutputFileWriter output;
  const EInOutError error = save_error([&] {
    output.open("/dev/full", model);
    output.write_record(model, 2.0);
    output.close();
  });
  EXPECT_EQ(error.message(), "Disk full");
  EXPECT_EQ(error.file(), "/dev/full");
  expect_nothing_changed();
}

TEST_F(SaveFailure, OutputFileThatCannotHoldItsHeaderKeepsThePreviousFile) {
  EInOutError error("", "");
  {
    FileSizeLimit limit(1000);
    OutputFileWriter output;
    error = save_error([&] { output.open(target, model); });
  }
  EXPECT_EQ(error.message(), "Disk full");
  expect_nothing_changed();
}

}  // namespace
}  // namespace vindrel
