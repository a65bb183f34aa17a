// The three formats of a run's output, and reading any of them back.
//
//   out      the model's fixed-width text, every column (output_file.hpp)
//   csv      comma-separated values of chosen columns (csv_output.hpp)
//   netcdf   NetCDF-4 following the CF conventions, chosen columns
//            (netcdf_output.hpp); only when the program was built with NetCDF
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/model.hpp"
#include "fileio/table_writer.hpp"

namespace vindrel {

enum class OutputFormat { kOut, kCsv, kNetcdf };

// "out", "csv", "netcdf".
std::string_view output_format_name(OutputFormat format);
std::optional<OutputFormat> output_format_from_name(std::string_view name);
// The format a file name asks for by its extension: ".csv" CSV, ".nc" NetCDF
// (any letter case), anything else the model's text.
OutputFormat output_format_of_file_name(std::string_view file_name);
// The format of an existing file, from its first bytes: NetCDF's signature,
// a CSV header beginning "time,", otherwise the model's text. Throws
// EInOutError when the file cannot be opened.
OutputFormat output_format_of_file(const std::string& file_name);

// Whether this program was built with the NetCDF library.
bool netcdf_available() noexcept;
// Why NetCDF cannot be written or read, when it cannot.
inline constexpr std::string_view kNetcdfMissing =
    "this program was built without NetCDF (the NetCDF library was not found when it was "
    "configured: install libnetcdf-dev and build again)";

// A new writer of the CSV or NetCDF format. Throws std::runtime_error for the
// NetCDF format when it is not available, and std::invalid_argument for kOut.
std::unique_ptr<TableWriter> make_table_writer(OutputFormat format);

// Reads a run's output in any of the three formats, record by record. Each
// record reaches `on_record` as one row in the output record's layout
// (output_columns(info) values, the time first; column_labels.hpp); columns
// that the file does not hold are NaN. The CSV and NetCDF columns are found by
// their names. A file that lacks one of the `needed` positions is refused
// before any record is read: EInOutError naming the missing columns, with
// `needed_for` saying what needs them ("the summary"). Other failures of the
// file: EInOutError naming the file and the line or variable.
void read_output_records(const std::string& file_name, const Model& model,
                         std::span<const std::size_t> needed, std::string_view needed_for,
                         const std::function<void(const double* row)>& on_record);

}  // namespace vindrel
