#include "app/cli/output_guard.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "fileio/io_error.hpp"
#include "fileio/safe_write.hpp"

namespace vindrel::cli {

void check_output_creatable(const std::string& path) {
  if (path.empty()) return;
  AtomicFileWriter probe;
  probe.open(path);  // throws, naming the file
  probe.abandon();
}

namespace {

// The process id in a hidden temporary file's name ("...tmpPID.N" or, with
// `plain_id`, "....PID.N"), or 0 when the name has none.
pid_t writer_of(std::string_view name, bool plain_id) {
  const std::size_t last_dot = name.rfind('.');
  if (last_dot == std::string_view::npos || last_dot + 1 == name.size()) return 0;
  for (const char c : name.substr(last_dot + 1)) {
    if (c < '0' || c > '9') return 0;
  }
  const std::size_t dot = name.rfind('.', last_dot - 1);
  if (dot == std::string_view::npos) return 0;
  std::string_view id = name.substr(dot + 1, last_dot - dot - 1);
  if (!plain_id) {
    if (!id.starts_with("tmp")) return 0;
    id.remove_prefix(3);
  }
  long value = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
  if (id.empty() || error != std::errc() || end != id.data() + id.size() || value <= 0) return 0;
  return static_cast<pid_t>(value);
}

// Whether no process has this id any more.
bool process_gone(pid_t pid) { return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH; }

void remove_stale(const std::filesystem::path& folder,
                  const std::function<pid_t(std::string_view)>& writer) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const pid_t pid = writer(name);
    if (pid == 0 || !entry.is_regular_file(error) || !process_gone(pid)) continue;
    if (fs::remove(entry.path(), error)) {
      std::fprintf(stderr,
                   "vindrel-cli: removed %s, left by a run that ended before finishing it "
                   "(process %ld)\n",
                   entry.path().string().c_str(), static_cast<long>(pid));
    }
  }
}

std::filesystem::path folder_of(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::filesystem::path(".") : parent;
}

// The process id a lock file holds, 0 when it holds none.
long lock_holder(const std::string& lock_file) {
  char text[24] = {};
  const int descriptor = ::open(lock_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return 0;
  const ssize_t size = ::read(descriptor, text, sizeof text - 1);
  ::close(descriptor);
  long pid = 0;
  if (size > 0) (void)std::from_chars(text, text + size, pid);
  return pid;
}

}  // namespace

void remove_stale_temporaries(const std::string& path) {
  if (path.empty()) return;
  std::string prefix(1, '.');
  prefix += std::filesystem::path(path).filename().string();
  prefix += ".tmp";
  remove_stale(folder_of(path), [&prefix](std::string_view name) -> pid_t {
    return name.starts_with(prefix) ? writer_of(name, false) : 0;
  });
}

void remove_stale_kept_outputs(const std::string& folder) {
  if (folder.empty()) return;
  remove_stale(folder, [](std::string_view name) -> pid_t {
    if (name.starts_with("..run-")) return writer_of(name, false);
    return name.starts_with(".run-") ? writer_of(name, true) : 0;
  });
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
      const long holder = error_number == EWOULDBLOCK ? lock_holder(lock_file_) : 0;
      lock_file_.clear();
      if (error_number == EWOULDBLOCK) {
        throw std::runtime_error(
            std::string(option) + ": another run" +
            (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
            " is writing " + path + "; wait for it to end or choose another file");
      }
      throw_io_error(error_number, path, 0, true);
    }
    struct stat held {};
    struct stat named {};
    if (fstat(descriptor_, &held) == 0 && stat(lock_file_.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      // The holder's process id, for the message of a run refused.
      const std::string pid = std::to_string(getpid()) + "\n";
      if (ftruncate(descriptor_, 0) == 0) (void)!::write(descriptor_, pid.data(), pid.size());
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
