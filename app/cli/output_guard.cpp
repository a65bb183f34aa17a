#include "app/cli/output_guard.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "fileio/io_error.hpp"
#include "fileio/safe_write.hpp"

namespace vindrel::cli {

void check_output_creatable(const std::string& path) {
  if (path.empty()) return;
  AtomicFileWriter probe;
  probe.open(path);  // throws, naming the file
  probe.abandon();
}

OutputLock::OutputLock(std::string_view option, const std::string& path) {
  if (path.empty()) return;
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!error && fs::exists(status) && !fs::is_regular_file(status)) return;
  // Every spelling and link of the file leads to one lock file.
  fs::path target = fs::weakly_canonical(fs::absolute(path), error);
  if (error) target = fs::absolute(path);
  std::string name = ".";
  name += target.filename().string();
  name += ".lock";
  lock_file_ = (target.parent_path() / name).string();
  // A lock file that the holder removed while this run opened it is no lock:
  // take the lock again on the file now at that name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    descriptor_ = ::open(lock_file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
      const int error_number = errno;
      lock_file_.clear();
      throw_io_error(error_number, path, 0, true);
    }
    if (flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
      const int error_number = errno;
      ::close(descriptor_);
      descriptor_ = -1;
      lock_file_.clear();
      if (error_number == EWOULDBLOCK) {
        throw std::runtime_error(std::string(option) + ": another run is writing " + path +
                                 "; wait for it to end or choose another file");
      }
      throw_io_error(error_number, path, 0, true);
    }
    struct stat held {};
    struct stat named {};
    if (fstat(descriptor_, &held) == 0 && stat(lock_file_.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      return;
    }
    ::close(descriptor_);
    descriptor_ = -1;
  }
  lock_file_.clear();
}

OutputLock::~OutputLock() {
  if (descriptor_ < 0) return;
  // Removed while still held, so that no run takes a lock on a file about to go.
  ::unlink(lock_file_.c_str());
  ::close(descriptor_);
}

}  // namespace vindrel::cli
