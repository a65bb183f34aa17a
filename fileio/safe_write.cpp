#include "fileio/safe_write.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"

namespace vindrel {
namespace {

constexpr std::size_t kStreamBufferSize = 64 * 1024;

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that a save to `path` replaces: symbolic links are followed so that
// the link keeps pointing at the new content.
std::string resolve_target(const std::string& path) {
  struct stat link_status;
  if (lstat(path.c_str(), &link_status) != 0 || !S_ISLNK(link_status.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;  // a dangling link: the new file takes its place
}

// Makes a rename in `folder` durable; failures are harmless and ignored.
void sync_folder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  (void)fsync(descriptor);
  ::close(descriptor);
}

std::atomic<unsigned> temporary_counter{0};

// Creates a new, empty, hidden file next to `target` to be written and then
// put in its place; `temporary` gets its name. `existing`: the target's status
// when it exists, whose permissions the new file takes. A failure is reported
// for `path`, the name the user gave.
int create_temporary_beside(const std::string& target, const std::string& path,
                            const struct stat* existing, std::string& temporary) {
  const std::string prefix =
      folder_of(target) + "/." + base_name_of(target) + ".tmp" + std::to_string(getpid()) + ".";
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = prefix + std::to_string(temporary_counter.fetch_add(1));
    descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    const int error_number = errno;
    temporary.clear();
    throw_io_error(error_number, path, 0, true);
  }
  if (existing != nullptr) (void)fchmod(descriptor, existing->st_mode & 07777);
  return descriptor;
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { abandon(); }

void AtomicFileWriter::open(const std::string& path) {
  abandon();
  path_ = path;
  target_ = resolve_target(path);
  published_ = false;

  struct stat status;
  const bool exists = stat(target_.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) {
    // A device or a pipe cannot be replaced: write it directly.
    stream_ = std::fopen(target_.c_str(), "wb");
    if (stream_ == nullptr) throw_io_error(errno, path_, 0, true);
    use_buffer();
    return;
  }
  if (exists && access(target_.c_str(), W_OK) != 0) throw_io_error(errno, path_, 0, true);

  const int descriptor =
      create_temporary_beside(target_, path_, exists ? &status : nullptr, temporary_);
  stream_ = fdopen(descriptor, "wb");
  if (stream_ == nullptr) {
    const int error_number = errno;
    ::close(descriptor);
    abandon();
    throw_io_error(error_number, path_, 0, true);
  }
  use_buffer();
}

void AtomicFileWriter::use_buffer() {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kStreamBufferSize);
  std::setvbuf(stream_, buffer_.get(), _IOFBF, kStreamBufferSize);
}

void AtomicFileWriter::fail(int error_number) {
  abandon();
  throw_io_error(error_number != 0 ? error_number : EIO, path_);
}

void AtomicFileWriter::write(const char* data, std::size_t size) {
  if (stream_ == nullptr) throw EInOutError(std::string(kFileNotOpenForOutput), path_);
  if (!published_) {
    if (std::fwrite(data, 1, size, stream_) != size) fail(errno);
    return;
  }
  std::memcpy(reserve(size), data, size);
  append(size);
}

char* AtomicFileWriter::reserve(std::size_t size) {
  if (stream_ == nullptr || !published_) {
    throw EInOutError(std::string(kFileNotOpenForOutput), path_);
  }
  // The buffer only ever holds whole writes: it goes to the file before a
  // write that would not fit.
  if (pending_ + size > append_capacity_) {
    flush_appended();
    if (size > append_capacity_) {
      append_capacity_ = std::max(size, kStreamBufferSize);
      append_buffer_ = std::make_unique_for_overwrite<char[]>(append_capacity_);
    }
  }
  return append_buffer_.get() + pending_;
}

void AtomicFileWriter::append(std::size_t used) { pending_ += used; }

bool AtomicFileWriter::write_pending(int& error_number) noexcept {
  const int descriptor = fileno(stream_);
  std::size_t done = 0;
  while (done < pending_) {
    const ssize_t written = ::write(descriptor, append_buffer_.get() + done, pending_ - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_number = written < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  flushed_size_ += static_cast<long long>(pending_);
  pending_ = 0;
  return true;
}

void AtomicFileWriter::cut_back_to_whole_writes() noexcept {
  pending_ = 0;
  (void)ftruncate(fileno(stream_), static_cast<off_t>(flushed_size_));
}

void AtomicFileWriter::flush_appended() {
  int error_number = 0;
  if (!write_pending(error_number)) fail_appended(error_number);
}

void AtomicFileWriter::fail_appended(int error_number) {
  // What the disk took of the writes after the last whole one is cut off, and
  // what the buffer still holds is dropped, so the file ends with a whole write.
  cut_back_to_whole_writes();
  abandon();
  throw_io_error(error_number != 0 ? error_number : EIO, path_);
}

void AtomicFileWriter::mark_published() {
  // From here on the file under its own name holds every write so far.
  const long long size = ftello(stream_);
  flushed_size_ = size > 0 ? size : 0;
  pending_ = 0;
  published_ = true;
}

void AtomicFileWriter::publish() {
  if (stream_ == nullptr) throw EInOutError(std::string(kFileNotOpenForOutput), path_);
  if (std::fflush(stream_) != 0) fail(errno);
  if (!temporary_.empty()) {
    if (fsync(fileno(stream_)) != 0) fail(errno);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    temporary_.clear();
    sync_folder(folder_of(target_));
  }
  mark_published();
}

void AtomicFileWriter::start_appending() {
  if (stream_ == nullptr) throw EInOutError(std::string(kFileNotOpenForOutput), path_);
  if (std::fflush(stream_) != 0) fail(errno);
  mark_published();
}

void AtomicFileWriter::commit() {
  if (stream_ == nullptr) throw EInOutError(std::string(kFileNotOpenForOutput), path_);
  if (published_) {
    close();
    return;
  }
  if (std::fflush(stream_) != 0) fail(errno);
  if (!temporary_.empty() && fsync(fileno(stream_)) != 0) fail(errno);
  std::FILE* stream = stream_;
  stream_ = nullptr;
  if (std::fclose(stream) != 0) fail(errno);
  if (!temporary_.empty()) {
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    temporary_.clear();
    sync_folder(folder_of(target_));
  }
}

void AtomicFileWriter::close() {
  if (stream_ == nullptr) return;
  if (!published_) {
    commit();
    return;
  }
  flush_appended();
  if (!temporary_.empty()) {
    // Appended to the temporary file: it replaces the target now, whole.
    published_ = false;
    commit();
    return;
  }
  std::FILE* stream = stream_;
  stream_ = nullptr;
  published_ = false;
  if (std::fclose(stream) != 0) throw_io_error(errno, path_);
}

void AtomicFileWriter::retarget(const std::string& path) {
  if (temporary_.empty()) return;
  path_ = path;
  target_ = resolve_target(path);
}

void AtomicFileWriter::abandon() noexcept {
  // Appended writes still held go to the target if they can, whole, as closing
  // a stream would have written them; a temporary file is simply removed.
  if (stream_ != nullptr && published_ && pending_ > 0 && temporary_.empty()) {
    int error_number = 0;
    if (!write_pending(error_number)) cut_back_to_whole_writes();
  }
  pending_ = 0;
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  published_ = false;
}

void write_file_atomically(const std::string& path, std::string_view content) {
  AtomicFileWriter writer;
  writer.open(path);
  writer.write(content);
  writer.commit();
}

}  // namespace vindrel

namespace vindrel {

NamedTemporaryFile::NamedTemporaryFile(const std::string& path)
    : path_(path), target_(resolve_target(path)) {
  struct stat status;
  const bool exists = stat(target_.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) return;  // a device: written directly
  if (exists && access(target_.c_str(), W_OK) != 0) throw_io_error(errno, path_, 0, true);
  const int descriptor =
      create_temporary_beside(target_, path_, exists ? &status : nullptr, temporary_);
  ::close(descriptor);
}

NamedTemporaryFile::~NamedTemporaryFile() { abandon(); }

void NamedTemporaryFile::commit() {
  if (temporary_.empty()) return;
  const int descriptor = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  int error_number = descriptor < 0 ? errno : 0;
  if (descriptor >= 0) {
    if (fsync(descriptor) != 0) error_number = errno;
    ::close(descriptor);
  }
  if (error_number == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error_number = errno;
  }
  if (error_number != 0) {
    abandon();
    throw_io_error(error_number, path_);
  }
  temporary_.clear();
  sync_folder(folder_of(target_));
}

void NamedTemporaryFile::retarget(const std::string& path) {
  if (temporary_.empty()) return;
  path_ = path;
  target_ = resolve_target(path);
}

void NamedTemporaryFile::abandon() noexcept {
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace vindrel
