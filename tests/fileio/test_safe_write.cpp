#include "fileio/safe_write.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;

mode_t mode_of(const std::string& path) {
  struct stat status;
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

TEST(SafeWrite, CreatesANewFileWithTheUsualPermissions) {
  TempFolder folder;
  const std::string path = folder.file("new.txt");
  write_file_atomically(path, "line one\r\nline two\r\n");
  EXPECT_EQ(read_bytes(path), "line one\r\nline two\r\n");
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(mode_of(path), 0666 & ~mask);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"new.txt"});
}

TEST(SafeWrite, ReplacesAFileAndKeepsItsPermissions) {
  TempFolder folder;
  const std::string path = folder.file("old.txt");
  write_bytes(path, "old and longer content");
  chmod(path.c_str(), 0640);
  write_file_atomically(path, "new");
  EXPECT_EQ(read_bytes(path), "new");
  EXPECT_EQ(mode_of(path), 0640u);
}

TEST(SafeWrite, AnAbandonedWriteLeavesTheTargetAlone) {
  TempFolder folder;
  const std::string path = folder.file("target.txt");
  write_bytes(path, "previous");
  {
    AtomicFileWriter writer;
    writer.open(path);
    writer.write("half of the new content");
  }
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.txt"});
}

TEST(SafeWrite, AFailedWriteRemovesTheTemporaryFile) {
  TempFolder folder;
  const std::string path = folder.file("target.txt");
  write_bytes(path, "previous");
  try {
    testing::FileSizeLimit limit(1000);
    write_file_atomically(path, std::string(100000, 'n'));
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
    EXPECT_EQ(error.file(), path);
  }
  EXPECT_EQ(read_bytes(path), "previous");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.txt"});
}

TEST(SafeWrite, ASymbolicLinkKeepsPointingAtTheNewContent) {
  TempFolder folder;
  const std::string real = folder.file("real.txt");
  const std::string link = folder.file("link.txt");
  write_bytes(real, "previous");
  std::filesystem::create_symlink(real, link);
  write_file_atomically(link, "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_bytes(real), "new");
}

TEST(SafeWrite, AMissingFolderIsPathNotFound) {
  TempFolder folder;
  try {
    write_file_atomically(folder.file("missing/file.txt"), "x");
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Path not found");
  }
}

TEST(SafeWrite, DevicesAreWrittenDirectlyAndNeverReplaced) {
  write_file_atomically("/dev/null", "nothing");
  struct stat status;
  ASSERT_EQ(stat("/dev/null", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
  try {
    write_file_atomically("/dev/full", "no room");
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Disk full");
  }
  ASSERT_EQ(stat("/dev/full", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
}

TEST(SafeWrite, PublishedContentGrowsInTheTargetItself) {
  TempFolder folder;
  const std::string path = folder.file("growing.txt");
  write_bytes(path, "previous");
  AtomicFileWriter writer;
  writer.open(path);
  writer.write("header\r\n");
  EXPECT_EQ(read_bytes(path), "previous");
  writer.publish();
  EXPECT_EQ(read_bytes(path), "header\r\n");
  writer.write("record\r\n");
  writer.close();
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(read_bytes(path), "header\r\nrecord\r\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"growing.txt"});
}


// Appended records reach the file in blocks of 64 kB, whole records only: the
// kernel's cost of a write hardly depends on its size, so small blocks made a
// run's output cost nearly twice its formatting.
TEST(SafeWrite, AppendedRecordsReachTheFileInLargeBlocksOfWholeRecords) {
  TempFolder folder;
  const std::string path = folder.file("records.out");
  AtomicFileWriter writer;
  writer.open(path);
  writer.write("header\r\n");
  writer.publish();
  const std::string record(6000, 'r');
  for (int i = 0; i < 10; ++i) writer.write(record);  // 60,000 bytes: still held
  EXPECT_EQ(read_bytes(path), "header\r\n");
  writer.write(record);  // would pass 64 kB: the ten go first, whole
  EXPECT_EQ(read_bytes(path).size(), 8u + 10u * 6000u);
  writer.close();
  EXPECT_EQ(read_bytes(path).size(), 8u + 11u * 6000u);
}

// A record formatted in place counts only with the bytes handed over; one that
// is abandoned with the writer still reaches the file, as with a closed stream.
TEST(SafeWrite, RecordsWrittenInPlaceAreKeptWhenTheWriterIsAbandoned) {
  TempFolder folder;
  const std::string path = folder.file("records.out");
  AtomicFileWriter writer;
  EXPECT_THROW(writer.reserve(10), EInOutError);  // nothing open
  writer.open(path);
  writer.write("header\r\n");
  EXPECT_THROW(writer.reserve(10), EInOutError);  // not yet published
  writer.publish();
  char* room = writer.reserve(100);
  std::memcpy(room, "one\r\nunused", 12);
  writer.append(5);
  room = writer.reserve(100 * 1024);  // larger than the buffer
  std::memset(room, 'x', 100 * 1024);
  writer.append(100 * 1024);
  writer.abandon();
  EXPECT_FALSE(writer.is_open());
  const std::string content = read_bytes(path);
  ASSERT_EQ(content.size(), 8u + 5u + 100u * 1024u);
  EXPECT_EQ(content.substr(0, 13), "header\r\none\r\n");
  EXPECT_EQ(content.find_first_not_of('x', 13), std::string::npos);
}
TEST(SafeWrite, AReadOnlyFileIsRefusedBeforeAnythingIsWritten) {
  if (geteuid() == 0) GTEST_SKIP() << "the super-user may write any file";
  TempFolder folder;
  const std::string path = folder.file("locked.txt");
  write_bytes(path, "locked");
  chmod(path.c_str(), 0444);
  try {
    write_file_atomically(path, "new");
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File access denied");
  }
  EXPECT_EQ(read_bytes(path), "locked");
}

}  // namespace
}  // namespace vindrel
