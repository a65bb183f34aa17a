// Where a run's output records go: the output file, a table in memory, or
// nowhere. A run calls begin() once, after its start-time evaluation, then
// record() every output step, and end() at the end of every run that began
// (completed, cancelled or failed), so the records written before a cancel or
// a failure are kept.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model.hpp"
#include "fileio/output_file.hpp"
#include "fileio/table_writer.hpp"

namespace vindrel {

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // The model's definition and tables, for headers and column counts.
  virtual void begin(const Model& model) = 0;
  // One record: the time, and the drivers, states and processes of `model`.
  virtual void record(const Model& model, double time) = 0;
  // Closes what begin() opened. A failure here ends the run as failed, unless
  // an earlier failure already did.
  virtual void end() = 0;
  // Closes what begin() opened after a run that was cancelled or failed; a
  // sink that keeps an unfinished run's records apart says so here.
  virtual void end_incomplete() { end(); }
};

// Discards every record.
class NullSink final : public RecordSink {
 public:
  void begin(const Model&) override {}
  void record(const Model&, double) override {}
  void end() override {}
};

// A sink that writes one file; the name as the user gave it, for messages.
// With keep_incomplete_as(), the records of a run that was cancelled or
// failed go to a file of that name, and a complete file of the first name
// stays as it was.
class FileRecordSink : public RecordSink {
 public:
  explicit FileRecordSink(std::string file_name) : file_name_(std::move(file_name)) {}
  const std::string& file_name() const noexcept { return file_name_; }
  void keep_incomplete_as(std::string file_name) { incomplete_name_ = std::move(file_name); }
  const std::string& incomplete_name() const noexcept { return incomplete_name_; }

 protected:
  std::string file_name_;
  std::string incomplete_name_;  // empty: an unfinished run's file takes file_name_
};

// The name under which the records of an unfinished run are kept apart from
// a complete output: "stand.out" gives "stand.partial.out", "dir/run.nc"
// "dir/run.partial.nc", a name without an extension "stand.partial".
std::string partial_file_name(const std::string& file_name);

// The output file: begun in a temporary file at begin(), one line per record,
// put in the place of any file of that name at end(), which every run that
// began calls (completed, cancelled or failed by the model). A write that fails
// leaves the previous file as it was.
class OutputFileSink final : public FileRecordSink {
 public:
  using FileRecordSink::FileRecordSink;
  void begin(const Model& model) override;
  void record(const Model& model, double time) override;
  void end() override;
  void end_incomplete() override;

 private:
  OutputFileWriter writer_;
};

// Records in memory, as the output file's columns: the time, drivers
// 1..DriverCount, states 1..StateCount and the processes after the
// derivatives. Reserve rows ahead for long runs to avoid regrowing.
class OutputTable final : public RecordSink {
 public:
  void begin(const Model& model) override;
  void record(const Model& model, double time) override;
  void end() override {}

  std::size_t columns() const noexcept { return columns_; }
  std::size_t rows() const noexcept { return columns_ == 0 ? 0 : values_.size() / columns_; }
  // Column 0 is the time.
  double at(std::size_t row, std::size_t column) const noexcept {
    return values_[row * columns_ + column];
  }
  const double* row(std::size_t r) const noexcept { return values_.data() + r * columns_; }
  void reserve_rows(std::size_t rows) { values_.reserve(rows * (columns_ == 0 ? 208 : columns_)); }

 private:
  std::size_t columns_ = 0;
  std::vector<double> values_;
};

// A file of chosen columns for analysis tools (CSV, NetCDF), through a
// TableWriter: the file is written under a temporary name and replaces the
// target at end(), also after a cancel or a failure of the model, so the
// records written so far are kept. A write that fails (a full disk) ends the
// run as failed and leaves the previous file as it was.
class TableFileSink final : public FileRecordSink {
 public:
  // `columns`: positions in the output record (column_labels.hpp), the time
  // left out; empty for every column. `metadata`: what the format records
  // about the run (run_metadata()).
  TableFileSink(std::string file_name, std::unique_ptr<TableWriter> writer,
                std::vector<std::size_t> columns, OutputMetadata metadata = {});
  void begin(const Model& model) override;
  void record(const Model& model, double time) override;
  void end() override;
  void end_incomplete() override;

 private:
  std::unique_ptr<TableWriter> writer_;
  std::vector<std::size_t> columns_;
  OutputMetadata metadata_;
  std::vector<ColumnLabel> labels_;
  std::vector<double> row_;  // one record, sized at begin()
};

struct RunSettings;

// What a run's outputs record about it: a title naming the input files, the
// history (the time in UTC, the command line and the model's name and
// version: "2026-05-04T10:11:12Z: vindrel-cli run ... (Vindrel 6.4.1)"; no
// history without a command line), the run settings (times, steps,
// integrator, tolerance, repeat and reset options, held and reset states of
// `model`) and the input files' names and SHA-256 content hashes. Throws
// EInOutError when an input file cannot be read.
OutputMetadata run_metadata(const RunSettings& settings, const Model& model,
                            std::string_view command_line = {});

// The time as the history records it: "2026-05-04T10:11:12Z" (UTC).
std::string utc_time_text(std::chrono::system_clock::time_point time);

}  // namespace vindrel
