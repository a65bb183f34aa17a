// The NetCDF output: a run's records as a NetCDF-4 file following the CF
// conventions (CF-1.9), for climate-data tools (xarray, ncdump, R's ncdf4).
//
//   dimension  time (unlimited)
//   time       double; units "days since 0000-12-31 00:00:00", calendar
//              "366_day", standard_name "time", axis "T"
//   NAME       double (time), one per chosen column, named as column_labels.hpp
//              names it, with the CF description of cf_attributes.hpp (units
//              that UDUNITS reads, long_name, standard_name and cell_methods
//              where CF has them, _FillValue and missing_value for the
//              model's marker values), the model's own texts (vindrel_name,
//              vindrel_units) and model_table/model_index (its table and
//              1-based position)
//   globals    Conventions, title (naming the input files when the metadata
//              gives one), source, history (when the metadata gives one),
//              model, model_version, and the run's metadata (run settings,
//              input files and their SHA-256)
//
// Time. The model counts days from its day 0 in years of 366 days; year k
// holds the times 366 (k - 1) < t <= 366 k, and a record at a whole time t
// falls on day ((t - 1) mod 366) + 1 of its year. The CF calendar "366_day"
// (all years 366 days long) with the reference date 0000-12-31, the last day
// of year 0, which is the model's day 0, gives every whole time the date of
// the model's own year and day: 1 is 0001-01-01, 366 is 0001-12-31, 367 is
// 0002-01-01. The time values are the model's times unchanged.
//
// Records gather in memory, kNetcdfChunkRecords of them, and the file is
// made when they first fill that block or at close(). A run of more records
// is NetCDF-4, every variable chunked along time by that many records,
// shuffled and deflated (level 1), and goes to the file a whole chunk at a
// time without a chunk cache, so that writing takes one block of memory
// however long the run. A run of at most kNetcdfClassicRecords records is
// written in the 64-bit-offset format; one of more, up to a block, as
// NetCDF-4 in a single chunk. The NetCDF and HDF5 libraries are not
// thread-safe: every call into them holds one process-wide lock, so several
// runs of a study may write NetCDF files at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fileio/table_writer.hpp"

namespace vindrel {

// Records per chunk of every variable.
inline constexpr std::size_t kNetcdfChunkRecords = 4096;
// Files of at most this many records are written in the 64-bit-offset
// format: uncompressed, without NetCDF-4's fixed cost of about 3 kB a
// variable, which outweighs what deflating so few records saves.
inline constexpr std::size_t kNetcdfClassicRecords = 512;

class NetcdfTableWriter final : public TableWriter {
 public:
  NetcdfTableWriter();
  ~NetcdfTableWriter() override;
  void open(const std::string& file_name, const TModelDef& info,
            std::span<const ColumnLabel> columns, const OutputMetadata& metadata) override;
  void write_row(const double* values) override;
  void close() override;
  void close_as(const std::string& file_name) override;
  void abandon() noexcept override;
  bool is_open() const noexcept override;

 private:
  struct File;
  std::unique_ptr<File> file_;
};

// Reads the columns of a NetCDF output by name, a block of records at a time.
class NetcdfOutputReader {
 public:
  NetcdfOutputReader();
  ~NetcdfOutputReader();
  // Opens the file; throws EInOutError when it is not a NetCDF output of a
  // run (no "time" variable along the "time" dimension).
  void open(const std::string& file_name);
  std::size_t records() const noexcept;
  // Whether the file holds a variable of this name along time.
  bool has(const std::string& name) const;
  // Reads `count` records from `first` of the variable `name` into `values`.
  void read(const std::string& name, std::size_t first, std::size_t count, double* values) const;
  void close() noexcept;

 private:
  struct File;
  std::unique_ptr<File> file_;
};

}  // namespace vindrel
