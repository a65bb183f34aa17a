// The output file: the result of a run, a fixed-width text table with two header
// lines and one record per output time.
//
// Layout (8-bit text, lines ended by CR LF). Every field is 25 characters,
// right-aligned, followed by one space; with this model a line holds 1 + 18 +
// 55 + 134 = 208 fields. Columns: the time, drivers 1..DriverCount, states
// 1..StateCount, processes StateCount+1..ProcessCount (the derivatives are not
// written).
//   line 1   "Time" and the names, each "%25.25s"
//   line 2   TimeUnit and the units, each "%25.25s"
//   records  the time "%25g" (format_g15_right), every value "%25.13e"
// The reader reads records as numbers separated by blanks, tabs or line ends,
// like the driver file; the header is skipped and not compared with the model.
// Blank lines at the end of the file end the data; a file that ends inside a
// record is an error ("Unexpected end of file").
//
// Writing the file is safe: the header and the records go to a temporary file
// in the same folder that replaces the target at close(), so a previous file
// stays whole until the new one is, and a writer closed after a cancel or a
// failure of the model publishes the records written so far. Every write and
// the close are checked: a full disk throws EInOutError("Disk full") instead of
// losing records silently, and removes the temporary file, leaving a previous
// file as it was. A device (/dev/null) is written directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/safe_write.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {

// Writes an output file: the header at open(), one line per record.
class OutputFileWriter {
 public:
  OutputFileWriter();
  ~OutputFileWriter();
  OutputFileWriter(const OutputFileWriter&) = delete;
  OutputFileWriter& operator=(const OutputFileWriter&) = delete;

  // Starts the file (in a temporary file that replaces any file of that name
  // at close()) and writes the two header lines from info.TimeUnit, the driver table (drivers
  // 1..info.DriverCount) and the given state and process tables. Whatever was
  // open is closed first. Throws EInOutError ("File access denied", "Disk
  // full", ...); the previous file then stays as it was.
  void open(const std::string& file_name, const TModelDef& info, const driverarray& drivers,
            std::int32_t StateCount, const statearray& states, std::int32_t ProcessCount,
            const processarray& processes);
  // The same with the model's own tables and counts.
  void open(const std::string& file_name, const Model& model);

  // Appends one record line: the time, drivers 1..DriverCount, states
  // 1..StateCount and processes StateCount+1..ProcessCount, formatted straight
  // into the writer's buffer (no allocation per record). Throws EInOutError
  // ("Disk full", ..., or "I/O error 105" when not open).
  void write_record(const driverarray& drivers, std::int32_t DriverCount, std::int32_t StateCount,
                    const statearray& states, std::int32_t ProcessCount,
                    const processarray& processes, double time);
  void write_record(const Model& model, double time);

  // Flushes and closes the file and puts it in the target's place; throws
  // EInOutError ("Disk full", ...) if the last records could not be written,
  // leaving the previous file. Closing a closed writer does nothing.
  void close();
  // The same, but the file takes the place of `file_name` (in the same folder)
  // and the target given to open() is left as it was.
  void close_as(const std::string& file_name);

  bool is_open() const noexcept { return writer_.is_open(); }

 private:
  AtomicFileWriter writer_;
};

// Reads an output file record by record, in constant memory.
class OutputFileReader {
 public:
  OutputFileReader();
  ~OutputFileReader();
  OutputFileReader(const OutputFileReader&) = delete;
  OutputFileReader& operator=(const OutputFileReader&) = delete;

  // Opens the file (or the text in memory) and skips its two header lines.
  // Whatever was open is closed first. Throws EInOutError ("File not found",
  // "File access denied", ...).
  void open(const TextSource& source);

  // Reads the next record into `time` and the `value` fields of the given
  // tables, in column order. Returns false, changing nothing, at the end of the
  // data. Throws EInOutError, changing nothing, for a token that is not a
  // number ("Invalid numeric input: expected column 20 (state 1, C: foliar),
  // found \"x\""), for a file that ends inside a record, or when not open
  // ("I/O error 104").
  bool read_record(double& time, std::int32_t DriverCount, driverarray& drivers,
                   std::int32_t StateCount, statearray& states, std::int32_t ProcessCount,
                   processarray& processes);
  bool read_record(double& time, Model& model);
  // The same into one row of output_columns(model) numbers, the time first;
  // `model` names the columns in messages.
  bool read_record(double* row, const Model& model);

  void close();

  bool is_open() const noexcept { return reader_.is_open(); }
  const std::string& file_name() const noexcept { return reader_.file_name(); }

 private:
  // Reads one record's numbers into values_; false at the end of the data.
  bool read_values(std::int32_t DriverCount, std::int32_t StateCount, std::int32_t ProcessCount,
                   const driverarray& drivers, const statearray& states,
                   const processarray& processes);

  TokenReader reader_;
  std::vector<double> values_;  // one record being read, sized once per file
  std::size_t record_number_ = 0;
};

// The file's two header lines, line ends included, as the writer writes them.
std::string format_output_header(const TModelDef& info, const driverarray& drivers,
                                 std::int32_t StateCount, const statearray& states,
                                 std::int32_t ProcessCount, const processarray& processes);
// The length of one record line, line end included.
std::size_t output_record_length(std::int32_t DriverCount, std::int32_t StateCount,
                                 std::int32_t ProcessCount);
// Formats one record line, line end included, into the output_record_length
// characters at `out`, as the writer writes it; returns the end of the line.
char* format_output_record(char* out, const driverarray& drivers, std::int32_t DriverCount,
                           std::int32_t StateCount, const statearray& states,
                           std::int32_t ProcessCount, const processarray& processes,
                           double time) noexcept;

// Columns of one output record: the time, the drivers, the states and the
// processes after the derivatives (208 for this model).
std::size_t output_columns(const TModelDef& info);

}  // namespace vindrel
