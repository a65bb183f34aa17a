// The CSV output: a run's records as comma-separated values for analysis
// tools (pandas, R, spreadsheets).
//
// Layout (UTF-8, lines ended by LF, fields separated by ","):
//   line 1   the column names: "time", then the names of column_labels.hpp
//   line 2   the units: TimeUnit ("days"), then each column's units text
//   records  the time and the values, each the shortest text that reads back
//            as the same double ("0.5", "1e-05"; "NaN", "Inf", "-Inf"); a
//            whole value keeps its point ("365.0"), so that every value
//            column reads as real numbers whatever a run's values are. The
//            time is written as it is ("2", "2.5"). The model's marker values
//            (the driver value -1 that prescribes nothing, the senescence day
//            999) are written as the numbers they are.
// A name or units text holding a comma, a quote or a line end is quoted as
// RFC 4180 says ("a, b" -> "\"a, b\""). pandas reads the file with
// read_csv(name, skiprows=[1]), R with read.csv(name)[-1, ] or as
// docs/outputs.md shows.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fileio/safe_write.hpp"
#include "fileio/table_writer.hpp"

namespace vindrel {

class CsvTableWriter final : public TableWriter {
 public:
  void open(const std::string& file_name, const TModelDef& info,
            std::span<const ColumnLabel> columns, const OutputMetadata& metadata) override;
  void write_row(const double* values) override;
  void close() override;
  void close_as(const std::string& file_name) override;
  void abandon() noexcept override { writer_.abandon(); }
  bool is_open() const noexcept override { return writer_.is_open(); }

 private:
  AtomicFileWriter writer_;
  std::size_t columns_ = 0;
  std::vector<char> line_;  // one record, sized once at open()
};

// Reads a CSV output line by line, in constant memory.
class CsvOutputReader {
 public:
  CsvOutputReader();
  ~CsvOutputReader();
  CsvOutputReader(const CsvOutputReader&) = delete;
  CsvOutputReader& operator=(const CsvOutputReader&) = delete;

  // Opens the file and reads its two header lines. Throws EInOutError ("File
  // not found", or a header that is not the CSV output's, naming the line).
  void open(const std::string& file_name);
  // The names and units of the columns, as the header gives them.
  const std::vector<std::string>& names() const noexcept { return names_; }
  const std::vector<std::string>& units() const noexcept { return units_; }
  // Reads the next record, one value per column. Returns false at the end of
  // the file (blank lines at its end are ignored). Throws EInOutError for a
  // field that is not a number or a line with another number of fields,
  // naming the line and the column; an empty field reads as NaN.
  bool read_row(std::vector<double>& values);
  void close() noexcept;

 private:
  bool next_line();
  [[noreturn]] void fail(const std::string& message) const;

  std::string file_name_;
  std::FILE* stream_ = nullptr;
  std::string line_;
  std::size_t line_number_ = 0;
  std::vector<std::string> names_;
  std::vector<std::string> units_;
};

// Splits one CSV line into its fields, undoing RFC 4180 quoting. Returns false
// for a quote that is not closed.
bool split_csv_line(const std::string& line, std::vector<std::string>& fields);

}  // namespace vindrel
