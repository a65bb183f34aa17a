// The driver file and the driver lookup: the time series that forces the model
// and the values of the drivers at any model time.
//
// Layout (8-bit text, lines ended by CR LF). Lines 1 and 2 are a header that the
// reader skips unread; the program writes "Time" and each driver's name, then
// TimeUnit and each driver's units, every field "%-25.25s" followed by a space.
// Lines 3 onward are records: a time and DriverCount values, each "%-25.13e"
// followed by a space. The driver editor writes a second layout (every field
// "%-26.26s" without separator, numbers as their shortest decimal text); the
// reader reads both alike, as numbers separated by blanks, tabs or line ends:
//   - the record time's sign is a flag: a time T >= 0 means the previous
//     record's values hold up to T and this record's values take over at T (a
//     step); a time -T means the values move linearly from the previous
//     record's to this record's between the previous record's time and T;
//   - a record whose time and values are all exactly 0 is the end marker: it
//     and everything after it are ignored, as are blank lines at the end;
//   - after a record's last value the rest of its line is skipped; a record
//     with fewer numbers on its line takes the missing ones from the next lines;
//   - a file that ends inside a record is an error ("Unexpected end of file"),
//     unless every number read so far is 0 (a shortened end marker);
//   - record times must not decrease in absolute value, and must be finite
//     ("Driver times out of order", "Invalid record time"): the lookup only
//     moves forward, and such a record would make it skip records silently;
//   - a header line that holds nothing but numbers is a record, so the header
//     is missing ("Missing header line").
//
// Three types share the format: DriverFileWriter writes a file, DriverFileReader
// reads its records one after the other, and DriverLookup gives the driver
// values at any model time. The lookup keeps the one open file and the times
// and values of the two records around the current time, so it reads files of
// any length in constant memory. Only the values of the records are kept (no
// names or units), so a lookup copies no strings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/model.hpp"
#include "fileio/safe_write.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {

// What a caller shows when a driver file to be read does not exist.
inline constexpr std::string_view kDriverFileMissingMessage =
    "Cannot read driver file. File does not exist.";
// Message of the error thrown by GetDrivers for a driver file without any
// usable record (empty, or holding only the end marker).
inline constexpr std::string_view kNoDriverRecordMessage =
    "No driver record: the driver file holds no record before its end";

// Writes a driver file in the program's layout. The new content goes to a
// temporary file in the target's folder; close() puts it in place. Until then,
// and after any failure, the previous file is untouched.
class DriverFileWriter {
 public:
  DriverFileWriter();
  ~DriverFileWriter();  // abandons a file that was not closed
  DriverFileWriter(const DriverFileWriter&) = delete;
  DriverFileWriter& operator=(const DriverFileWriter&) = delete;

  // Starts the file's new content and writes the two header lines from `info`
  // and the driver table's names and units. Throws EInOutError when the
  // temporary file cannot be made ("Path not found", "File access denied",
  // ...). A file being written is abandoned first.
  void open(const std::string& file_name, const TModelDef& info, const driverarray& drivers);
  void open(const std::string& file_name, const Model& model);

  // Writes one record line: the time and the values of drivers 1..DriverCount,
  // each "%-25.13e" and a space, then CR LF. Throws EInOutError ("Disk full",
  // ..., or "I/O error 105" when not open); after a failure the write is
  // abandoned and the previous file stays.
  void write_record(double time, std::int32_t DriverCount, const driverarray& drivers);

  // Flushes, syncs and renames the new content over the target. Throws
  // EInOutError ("Disk full", ...) when that fails; the previous file then
  // stays. Closing a writer that is not open does nothing.
  void close();

  // Drops the new content without throwing; the previous file stays.
  void abandon() noexcept;

  bool is_open() const noexcept { return writer_.is_open(); }
  // The name given to the last open().
  const std::string& file_name() const noexcept { return file_name_; }

 private:
  AtomicFileWriter writer_;
  std::string file_name_;
  std::string line_;  // one formatted record line, reused
};

class DriverRecords;

// One record of a driver file as scan_driver_records sees it: its numbers and
// the lines they stand on.
struct ScannedDriverRecord {
  std::size_t number = 0;                                // 1-based, in file order
  double time = 0.0;                                     // as read, sign included, days
  std::size_t time_line = 0;                             // the line of its time
  std::size_t last_line = 0;                             // the line of its last value
  std::array<double, kDriverCapacity + 1> values{};      // drivers 1..DriverCount
  std::array<std::size_t, kDriverCapacity + 1> lines{};  // the line of each value
};

// Reads a driver file's records in order, as the lookup reads them, and hands
// each to `visit` until it returns false or the data end. Unlike the lookup it
// goes on past record times out of order, so that they can be reported with
// their lines. Returns the line where the reading stopped. Throws EInOutError:
// kDriverFileMissingMessage for a missing file and the errors of
// DriverFileReader::read_record for anything else.
std::size_t scan_driver_records(const std::string& file_name, const Model& model,
                                const std::function<bool(const ScannedDriverRecord&)>& visit);

// Reads the records of a driver file one after the other, from the first on.
class DriverFileReader {
 public:
  DriverFileReader();
  ~DriverFileReader();
  DriverFileReader(const DriverFileReader&) = delete;
  DriverFileReader& operator=(const DriverFileReader&) = delete;

  // Opens the file (or the text in memory) and skips its two header lines,
  // closing what was open. Returns false, leaving the reader closed, when the
  // file does not exist (the caller shows kDriverFileMissingMessage). Throws
  // EInOutError for other failures ("File access denied", "Missing header
  // line: ...").
  bool open(const TextSource& source);

  // Reads the next record into `time` and the `value` fields of drivers
  // 1..DriverCount. Returns false, changing nothing, at the end of the data
  // (end of file, blank lines at the end, or the end marker). Throws
  // EInOutError, changing nothing, for a token that is not a number ("Invalid
  // numeric input: expected driver 5 (Precipitation) of record 3, found \"x\"",
  // with the file name and line), for a file that ends inside a record, for
  // record times out of order or not finite, or when the reader is not open
  // ("I/O error 104").
  bool read_record(double& time, std::int32_t DriverCount, driverarray& drivers);

  void close() noexcept;
  bool is_open() const noexcept { return reader_.is_open(); }
  // The name given to the last open().
  const std::string& file_name() const noexcept { return source_.name(); }

 private:
  friend class DriverLookup;
  friend class DriverRecords;
  friend double last_driver_record_time(const TextSource& source, const Model& model);
  friend std::size_t scan_driver_records(
      const std::string& file_name, const Model& model,
      const std::function<bool(const ScannedDriverRecord&)>& visit);

  // Opens source_ again from its start (a file must exist: a missing one throws
  // "File not found") and skips the header lines.
  void open_existing();
  // Reads one record into `time` and values[1..n]; false at the end of the
  // data. `names` supplies the driver names for messages. On failure nothing
  // outside values[1..n] has changed. With `scan`, the lines of the numbers go
  // there and times out of order are let through.
  bool read_values(double& time, double* values, std::int32_t n, const driverarray& names,
                   ScannedDriverRecord* scan = nullptr);
  // True once the end marker or the end of the file was reached.
  bool at_end_of_data() const noexcept { return end_of_data_; }
  std::size_t line() const noexcept { return reader_.line(); }

  TokenReader reader_;
  TextSource source_{std::string()};
  bool end_of_data_ = false;       // the end marker or the end of the file was reached
  std::size_t record_number_ = 0;  // records read since the file was opened
  double last_time_ = 0.0;         // abs(time) of the last record read, days
  std::array<double, kDriverCapacity + 1> scratch_{};  // a record being read
};

// The driver lookup: the driver values at any model time, read forward
// through the file alongside the simulation time.
class DriverLookup {
 public:
  DriverLookup();
  ~DriverLookup();
  DriverLookup(const DriverLookup&) = delete;
  DriverLookup& operator=(const DriverLookup&) = delete;

  // Opens the file (or the text in memory) for the lookup of drivers
  // 1..DriverCount. Returns false, leaving the file closed, when it does not
  // exist (the caller shows kDriverFileMissingMessage); throws EInOutError for
  // other failures. The source is kept for the reopening done by a rewind,
  // even when it is missing.
  bool open(const TextSource& source, std::int32_t DriverCount);
  bool open(const TextSource& source, const Model& model);
  // Looks the drivers up in records read before (driver_records.hpp) instead
  // of the file, closing what was open: the same values, and the same errors
  // at the same records, as reading the file those records were read from.
  void open(std::shared_ptr<const DriverRecords> records);

  // The next GetDrivers starts again from the first record. Called before a
  // run, when the run's driver time wraps around, and before a one-off
  // calculation.
  void rewind() noexcept {
    previous_time_ = 0.0;
    next_time_ = 0.0;
  }

  // Sets the `value` fields of drivers 1..DriverCount of `drivers` to the
  // driver values at model time t.
  //  1. Rewind, when the times of both records are 0 (after rewind(), or at
  //     the start): reopen the file (by the name given to open()) and read its
  //     first record, which becomes both the record in force and the next one.
  //  2. Advance while abs(next_time) <= t: the next record comes into force and
  //     the following one is read; at the end of the data next_time becomes
  //     2 x stop_time and the last record's values hold from then on.
  //  3. If next_time < 0 and abs(next_time) != abs(previous_time), interpolate:
  //     value = previous + f x (next - previous), f = (t - abs(previous_time)) /
  //     (abs(next_time) - abs(previous_time)); otherwise the values of the record in
  //     force are stored.
  // Before the first record's time the first record's values apply. The lookup
  // only moves forward: a smaller t without a rewind does not go back.
  // Throws EInOutError: "File not found" when the rewind cannot reopen the file,
  // kNoDriverRecordMessage when the file has no usable record, and the errors of
  // DriverFileReader::read_record. Allocates nothing and copies no strings
  // unless it fails.
  void GetDrivers(driverarray& drivers, double t, double stop_time);

  // Closes the file; a later rewind reopens it by its name. Records read
  // before stay in use.
  void close() noexcept { reader_.close(); }
  bool is_open() const noexcept { return reader_.is_open() || records_ != nullptr; }
  // The name given to the last open().
  const std::string& file_name() const noexcept;

  // Time of the record in force and of the next record, as read (sign
  // included); both 0 after a rewind.
  double previous_time() const noexcept { return previous_time_; }
  double next_time() const noexcept { return next_time_; }

 private:
  // The first record again, after a rewind.
  void restart();
  // The next record into next_time_ and next_; false at the end of the data.
  bool read_next(const driverarray& names);

  DriverFileReader reader_;
  // Records read before, when the lookup reads them instead of the file, and
  // the next of them to read.
  std::shared_ptr<const DriverRecords> records_;
  std::size_t next_record_ = 0;
  std::int32_t driver_count_ = 0;
  double previous_time_ = 0.0;
  double next_time_ = 0.0;
  std::array<double, kDriverCapacity + 1> previous_{};  // values of the record in force
  std::array<double, kDriverCapacity + 1> next_{};      // values of the next record
  std::array<double, kDriverCapacity + 1> scratch_{};   // a record being read
};

// The driver editor's stricter reading of its text, before it is saved: the
// reader lets a record run on over the next lines, so a line with a number
// missing would take the next line's first number and shift every value after
// it. After the two header lines, every line that is not blank must hold
// exactly 1 + DriverCount blank-separated fields (the time and each driver).
// Throws EInOutError naming `name` and the line ("Wrong number of fields:
// expected the time and 18 driver values, 19 fields, found 18").
void check_driver_record_lines(std::string_view text, std::int32_t DriverCount,
                               const std::string& name);

// Creates a new driver file: the header lines from `info` and the names and
// units of `drivers`, then one record at `time` in which every driver is 0
// (at time 0 that record is the end marker, and the file holds no record).
// Throws EInOutError as DriverFileWriter does; a previous file then stays.
void create_driver_file(const std::string& file_name, const TModelDef& info,
                        const driverarray& drivers, double time);

// The absolute time, in days, of the file's last usable record (the last one
// before the end marker or the end of the file). Reads the whole file in
// constant memory. Throws EInOutError: kDriverFileMissingMessage for a missing
// file, the errors of DriverFileReader::read_record for a bad record, and
// kNoDriverRecordMessage for a file without any usable record.
double last_driver_record_time(const TextSource& source, const Model& model);

// The driver editor's layout, one line without its line end: every field
// left-aligned in 26 characters and cut at 26 ("%-26.26s"), no separator.
// Line 1: "Time" and the driver names; line 2: TimeUnit and the driver units;
// a record: the time and the values as their shortest decimal text.
std::string driver_editor_names_line(std::int32_t DriverCount, const driverarray& drivers);
std::string driver_editor_units_line(const TModelDef& info, const driverarray& drivers);
std::string driver_editor_record_line(double time, std::int32_t DriverCount,
                                      const driverarray& drivers);

}  // namespace vindrel
