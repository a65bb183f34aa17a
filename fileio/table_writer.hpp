// A writer of a run's records as a table of chosen columns, for analysis tools:
// the CSV and the NetCDF outputs. The output file of the model (.out) has its
// own writer (output_file.hpp).
//
// Every writer creates its file under a temporary name in the target's folder
// and renames it over the target at close(): a failed write (a full disk, a
// folder removed) leaves the previous file as it was and no temporary file.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fileio/column_labels.hpp"

namespace vindrel {

// One fact about the run that a format with attributes records (NetCDF's
// global attributes): a text, or a number when `number` holds one.
struct MetadataItem {
  std::string name;  // an identifier: letters, digits and "_"
  std::string text;
  std::optional<double> number;
};
using OutputMetadata = std::vector<MetadataItem>;

class TableWriter {
 public:
  virtual ~TableWriter() = default;
  // Starts the file: `columns` are its columns, the time first; `info` names
  // the model and its version. Throws EInOutError ("Path not found", ...).
  virtual void open(const std::string& file_name, const TModelDef& info,
                    std::span<const ColumnLabel> columns, const OutputMetadata& metadata) = 0;
  // One record: the values of the columns given to open(), in their order.
  // Throws EInOutError ("Disk full", ...); the file is then abandoned.
  virtual void write_row(const double* values) = 0;
  // Writes what is held, closes the file and puts it in place of the target.
  // Throws EInOutError; the file is then abandoned. Closing a writer that is
  // not open does nothing.
  virtual void close() = 0;
  // The same, but the file takes the place of `file_name` (in the same
  // folder) and the target given to open() is left as it was.
  virtual void close_as(const std::string& file_name) = 0;
  // Drops the file being written, leaving the target as it was. Never throws.
  virtual void abandon() noexcept = 0;
  virtual bool is_open() const noexcept = 0;
};

}  // namespace vindrel
