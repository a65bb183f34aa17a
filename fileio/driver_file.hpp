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
// One DriverLookup owns the one driver file handle, PrevTime, NextTime and the
// values of the two records around the current time, so it reads files of any
// length in constant memory. Only the values of the records are kept (no names
// or units), so a lookup copies no strings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/model.hpp"
#include "fileio/safe_write.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {

// What a caller shows when OpenDriverFile for reading finds no such file.
inline constexpr std::string_view kDriverFileMissingMessage =
    "Cannot read driver file. File does not exist.";
// Message of the error thrown by GetDrivers for a driver file without any
// usable record (empty, or holding only the end marker).
inline constexpr std::string_view kNoDriverRecordMessage =
    "No driver record: the driver file holds no record before its end";

class DriverLookup {
 public:
  DriverLookup();
  ~DriverLookup();
  DriverLookup(const DriverLookup&) = delete;
  DriverLookup& operator=(const DriverLookup&) = delete;

  // Time of the record in force and of the next record, as read (sign
  // included). Both exactly 0 is the rewind signal: the next GetDrivers starts
  // again from the first record. Set both to 0 (or call rewind()) before a run,
  // when the run's driver time wraps around, and before a one-off calculation.
  double PrevTime = 0.0;
  double NextTime = 0.0;
  void rewind() noexcept {
    PrevTime = 0.0;
    NextTime = 0.0;
  }

  // For reading (for_writing false): opens the file and skips its two header
  // lines. Returns false, leaving the handle closed, when the file does not
  // exist (the caller shows kDriverFileMissingMessage). Throws EInOutError for
  // other failures ("File access denied", ...). The name is remembered for the
  // reopening done by a rewind.
  // For writing: starts the file's new content (a temporary file in the same
  // folder) and writes the two header lines from `info` and the driver table's
  // names and units; returns true. CloseDriverFile puts the new content in
  // place; until then, and after any failure, the previous file is untouched.
  // Whatever was open before is closed first (an unfinished write is abandoned).
  bool OpenDriverFile(const std::string& file_name, const TModelDef& info,
                      const driverarray& drivers, bool for_writing);
  bool OpenDriverFile(const std::string& file_name, const Model& model, bool for_writing);

  // Writes one record line: the time and the values of drivers 1..DriverCount,
  // each "%-25.13e" and a space, then CR LF. Throws EInOutError ("Disk full",
  // ..., or "I/O error 105" when not open for writing); after a failure the
  // write is abandoned and the previous file stays.
  void WriteDriverRecord(double time, std::int32_t DriverCount, const driverarray& drivers);

  // Reads the next record into `time` and the `value` fields of drivers
  // 1..DriverCount. Returns false, changing nothing, at the end of the data
  // (end of file, blank lines at the end, or the end marker). Throws
  // EInOutError, changing nothing, for a token that is not a number ("Invalid
  // numeric input: expected driver 5 (Precipitation) of record 3, found \"x\"",
  // with the file name and line), for a file that ends inside a record, or when
  // the handle is not open for reading ("I/O error 104").
  bool ReadDriverRecord(double& time, std::int32_t DriverCount, driverarray& drivers);

  // Closes the handle. After writing: flushes, syncs and renames the new content
  // over the target; throws EInOutError ("Disk full", ...) when that fails, and
  // the previous file then stays. Closing a closed handle does nothing.
  void CloseDriverFile();

  // The driver lookup: sets the `value` fields of drivers 1..DriverCount of
  // `drivers` to the driver values at model time t.
  //  1. Rewind, when PrevTime and NextTime are both 0: reopen the file (by the
  //     name given to the last OpenDriverFile) and read its first record, which
  //     becomes both the record in force and the next record.
  //  2. Advance while abs(NextTime) <= t: the next record comes into force and
  //     the following one is read; at the end of the data NextTime becomes
  //     2 x stop_time and the last record's values hold from then on.
  //  3. If NextTime < 0 and abs(NextTime) != abs(PrevTime), interpolate:
  //     value = previous + f x (next - previous), f = (t - abs(PrevTime)) /
  //     (abs(NextTime) - abs(PrevTime)); otherwise the values of the record in
  //     force are stored.
  // Before the first record's time the first record's values apply. The lookup
  // only moves forward: a smaller t without a rewind does not go back.
  // Throws EInOutError: "File not found" when the rewind cannot reopen the file,
  // kNoDriverRecordMessage when the file has no usable record, and the errors of
  // ReadDriverRecord. Allocates nothing and copies no strings unless it fails.
  void GetDrivers(driverarray& drivers, double t, double stop_time);

  bool is_open_for_reading() const noexcept { return reader_.is_open(); }
  bool is_open_for_writing() const noexcept { return writer_.is_open(); }
  // The name given to the last OpenDriverFile.
  const std::string& file_name() const noexcept { return file_name_; }

 private:
  void open_for_reading();
  // Reads one record into `time` and values[1..n]; false at the end of data.
  // `names` supplies the driver names for messages.
  bool read_record(double& time, double* values, std::int32_t n, const driverarray& names);

  TokenReader reader_;
  AtomicFileWriter writer_;
  std::string file_name_;
  std::int32_t driver_count_ = 0;
  bool end_of_data_ = false;       // the end marker or the end of the file was reached
  std::size_t record_number_ = 0;  // records read since the file was opened
  double last_time_ = 0.0;         // abs(time) of the last record read, days
  std::array<double, kDriverCapacity + 1> previous_{};  // values of the record in force
  std::array<double, kDriverCapacity + 1> next_{};      // values of the next record
  std::array<double, kDriverCapacity + 1> scratch_{};   // a record being read
  std::string line_;                                    // one formatted record line, reused
};

// The driver editor's layout, one line without its line end: every field
// left-aligned in 26 characters and cut at 26 ("%-26.26s"), no separator.
// Line 1: "Time" and the driver names; line 2: TimeUnit and the driver units;
// a record: the time and the values as their shortest decimal text.
std::string DriverEditorNamesLine(std::int32_t DriverCount, const driverarray& drivers);
std::string DriverEditorUnitsLine(const TModelDef& info, const driverarray& drivers);
std::string DriverEditorRecordLine(double time, std::int32_t DriverCount,
                                   const driverarray& drivers);

}  // namespace vindrel
