// Saving a file without ever destroying the previous one: the new content goes
// to a temporary file in the target's folder, is flushed to the disk, and is
// renamed over the target only when everything was written. A failure removes
// the temporary file and leaves the previous file exactly as it was.
//
// A target that exists and is not a regular file (a device such as /dev/null or
// /dev/full, a pipe) is written directly: it cannot be replaced by a rename. A
// target that is a symbolic link is resolved, so the link keeps pointing at the
// new content. A target that exists but may not be written ("File access
// denied") is refused before anything is written. A new file gets the usual
// permissions (0666 less the umask); a replaced file keeps its own.
//
// Every write, flush, sync, close and rename is checked; a failure throws
// EInOutError with the message of io_error_message (for example "Disk full").
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace vindrel {

// Writes `content` as the whole new content of `path` through AtomicFileWriter.
void write_file_atomically(const std::string& path, std::string_view content);

// A file being written. open() creates the temporary file; write() appends
// through a C stdio stream in binary mode (line ends are written explicitly);
// commit() makes the content the target's. Destroying a writer that was not
// committed removes the temporary file and leaves the target alone.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Starts a new content for `path`. Throws EInOutError when the temporary file
  // cannot be created ("Path not found", "File access denied", ...). Any content
  // started before and not committed is abandoned first.
  void open(const std::string& path);

  // Appends `size` bytes. Throws EInOutError ("Disk full", ...) and abandons the
  // content when the stream reports an error.
  void write(const char* data, std::size_t size);
  void write(std::string_view text) { write(text.data(), text.size()); }

  // After publish(), a write made in place: reserve() gives room for at most
  // `size` bytes, to be filled and then handed over with append(used). Nothing
  // else may be written in between. Saves copying a record that is formatted
  // straight into the writer's buffer. reserve() throws like write().
  char* reserve(std::size_t size);
  void append(std::size_t used);

  // Flushes, syncs and closes the temporary file, then renames it over the
  // target. Throws EInOutError (the content is then abandoned and the target is
  // unchanged).
  void commit();

  // Flushes the content written so far, syncs it and renames the temporary file
  // over the target, but keeps the stream open: later writes go straight into
  // the target file, and close() ends them. Used to create an output file whose
  // header is written safely and whose records are appended while a run goes on.
  void publish();

  // Like publish(), but the temporary file stays unnamed: later writes go on
  // into it (reserve() and append() as after publish()), and close() renames
  // it over the target. Used for an output file that replaces the previous one
  // only when its run has ended; a failed write removes it and leaves the
  // target as it was.
  void start_appending();

  // After publish(): flushes and closes the stream. Throws EInOutError ("Disk
  // full", ...) when the data could not be written; the stream is closed anyway.
  // After start_appending(): flushes, syncs and closes the temporary file and
  // renames it over the target; a failure removes it and throws.
  // After publish() the stream is flushed only between two writes, and a failed
  // write or flush cuts the file back to the end of the last whole write that
  // reached it: a full disk never leaves half a record behind.
  void close();

  // Before the content replaces its target (before commit(), or before
  // close() after start_appending()): makes it replace `path` instead, a
  // file in the same folder, leaving the first target as it was. Used to
  // publish an unfinished content under a name of its own. Does nothing for
  // a device, written directly.
  void retarget(const std::string& path);

  // Removes the temporary file (if not yet renamed) and closes the stream,
  // without throwing.
  void abandon() noexcept;

  bool is_open() const noexcept { return stream_ != nullptr; }
  // The target's name as given to open().
  const std::string& path() const noexcept { return path_; }

 private:
  void fail(int error_number);
  // Gives the new stream its 64 kB buffer.
  void use_buffer();
  // After publish(): writes the appended writes held in the buffer to the file.
  // write_pending() reports a failure; flush_appended() throws it.
  bool write_pending(int& error_number) noexcept;
  // After publish(): drops the buffered writes and cuts the file back to the
  // end of its last whole write.
  void cut_back_to_whole_writes() noexcept;
  void flush_appended();
  void mark_published();
  // After publish(): cuts the file back to its last whole write, closes the
  // stream and throws EInOutError.
  [[noreturn]] void fail_appended(int error_number);

  std::FILE* stream_ = nullptr;
  // The stream's buffer, kept from one open() to the next. Given to the
  // stream explicitly: the C library ignores a requested size without one and
  // would write in blocks of 4 kB, each costing the kernel nearly as much as
  // a block of 64 kB.
  std::unique_ptr<char[]> buffer_;
  std::string path_;       // as given, for messages
  std::string target_;     // the file finally replaced (symbolic links resolved)
  std::string temporary_;  // empty when writing the target directly
  bool published_ = false;
  // After publish() the stream is only used to close the file: appended writes
  // gather here and go to the file descriptor directly, in blocks of whole
  // writes of up to 64 kB.
  std::unique_ptr<char[]> append_buffer_;
  std::size_t append_capacity_ = 0;
  long long flushed_size_ = 0;  // after publish(): bytes of whole writes in the file
  std::size_t pending_ = 0;     // after publish(): bytes of whole writes still buffered
};

}  // namespace vindrel

namespace vindrel {

// The same safety for a file that a library creates and writes by its name
// (the NetCDF library): the constructor reserves a fresh temporary name in the
// target's folder, the library writes that file, and commit() syncs it and
// renames it over the target. Destroying it uncommitted removes the temporary
// file and leaves the target as it was. The rules of AtomicFileWriter apply: a
// symbolic link is followed, a target that may not be written is refused, a
// replaced file keeps its permissions, a device is written directly.
class NamedTemporaryFile {
 public:
  // Throws EInOutError ("Path not found", "File access denied", ...).
  explicit NamedTemporaryFile(const std::string& path);
  ~NamedTemporaryFile();
  NamedTemporaryFile(const NamedTemporaryFile&) = delete;
  NamedTemporaryFile& operator=(const NamedTemporaryFile&) = delete;

  // The name to write: the temporary file, or the target itself when it is a device.
  const std::string& name() const noexcept { return temporary_.empty() ? target_ : temporary_; }
  // After the library closed the file: syncs it and renames it over the
  // target. Throws EInOutError (the temporary file is then removed).
  void commit();
  // Makes commit() replace `path` instead, as AtomicFileWriter::retarget().
  void retarget(const std::string& path);
  // Removes the temporary file, without throwing.
  void abandon() noexcept;

 private:
  std::string path_;       // as given, for messages
  std::string target_;     // symbolic links resolved
  std::string temporary_;  // empty once committed or abandoned, or for a device
};

}  // namespace vindrel
