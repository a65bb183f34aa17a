#include "fileio/formats/output_format.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/enum_names.hpp"
#include "core/exceptions.hpp"
#include "fileio/column_labels.hpp"
#include "fileio/csv_output.hpp"
#include "fileio/formats/netcdf_output.hpp"
#include "fileio/io_error.hpp"
#include "fileio/output_file.hpp"

namespace vindrel {
namespace {

bool ends_with_ignoring_case(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(
      end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The names of the needed columns that `has` does not find, or "" when all are there.
std::string missing_columns(const std::vector<ColumnLabel>& labels,
                            std::span<const std::size_t> needed,
                            const std::function<bool(const std::string&)>& has) {
  std::string missing;
  for (const std::size_t k : needed) {
    if (k < labels.size() && !has(labels[k].name)) {
      missing += (missing.empty() ? "" : ", ") + labels[k].name;
    }
  }
  return missing;
}

[[noreturn]] void refuse_missing(const std::string& file_name, const std::string& missing,
                                 std::string_view needed_for) {
  throw EInOutError("the file lacks columns that " + std::string(needed_for) + " needs: " + missing,
                    file_name);
}

void read_out(const std::string& file_name, const Model& model,
              const std::function<void(const double*)>& on_record) {
  OutputFileReader reader;
  reader.open(file_name);
  std::vector<double> row(output_columns(model.ModelInfo));
  while (reader.read_record(row.data(), model)) on_record(row.data());
  reader.close();
}

void read_csv(const std::string& file_name, const Model& model, std::span<const std::size_t> needed,
              std::string_view needed_for, const std::function<void(const double*)>& on_record) {
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  CsvOutputReader reader;
  reader.open(file_name);
  const std::vector<std::string>& names = reader.names();
  const auto find = [&names](const std::string& name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  const std::string missing = missing_columns(
      labels, needed, [&](const std::string& name) { return find(name) < names.size(); });
  if (!missing.empty()) refuse_missing(file_name, missing, needed_for);
  // Where each column of the file goes in the row; columns the model does
  // not know are skipped.
  std::vector<std::size_t> target(names.size(), labels.size());
  for (const ColumnLabel& label : labels) {
    const std::size_t at = find(label.name);
    if (at < names.size()) target[at] = label.position;
  }
  std::vector<double> row(labels.size());
  std::vector<double> values;
  while (reader.read_row(values)) {
    std::fill(row.begin(), row.end(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t c = 0; c < values.size(); ++c) {
      if (target[c] < row.size()) row[target[c]] = values[c];
    }
    on_record(row.data());
  }
}

void read_netcdf(const std::string& file_name, const Model& model,
                 std::span<const std::size_t> needed, std::string_view needed_for,
                 const std::function<void(const double*)>& on_record) {
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  NetcdfOutputReader reader;
  reader.open(file_name);
  const std::string missing = missing_columns(
      labels, needed, [&reader](const std::string& name) { return reader.has(name); });
  if (!missing.empty()) refuse_missing(file_name, missing, needed_for);
  // Only the needed columns are read (all of them when none are named).
  std::vector<std::size_t> columns{0};
  for (std::size_t k = 1; k < labels.size(); ++k) {
    const bool wanted =
        needed.empty() || std::find(needed.begin(), needed.end(), k) != needed.end();
    if (wanted && reader.has(labels[k].name)) columns.push_back(k);
  }
  constexpr std::size_t kBlock = kNetcdfChunkRecords;
  std::vector<double> block(columns.size() * kBlock);
  std::vector<double> row(labels.size(), std::numeric_limits<double>::quiet_NaN());
  for (std::size_t first = 0; first < reader.records(); first += kBlock) {
    const std::size_t count = std::min(kBlock, reader.records() - first);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      reader.read(labels[columns[c]].name, first, count, block.data() + c * kBlock);
    }
    for (std::size_t r = 0; r < count; ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) row[columns[c]] = block[c * kBlock + r];
      on_record(row.data());
    }
  }
}

constexpr EnumNames<OutputFormat, 3> kOutputFormatNames{{{
    {OutputFormat::kOut, "out"},
    {OutputFormat::kCsv, "csv"},
    {OutputFormat::kNetcdf, "netcdf"},
}}};

}  // namespace

std::string_view output_format_name(OutputFormat format) {
  return kOutputFormatNames.name(format, "out");
}

std::optional<OutputFormat> output_format_from_name(std::string_view name) {
  return kOutputFormatNames.parse(name);
}

OutputFormat output_format_of_file_name(std::string_view file_name) {
  if (ends_with_ignoring_case(file_name, ".csv")) return OutputFormat::kCsv;
  if (ends_with_ignoring_case(file_name, ".nc")) return OutputFormat::kNetcdf;
  return OutputFormat::kOut;
}

OutputFormat output_format_of_file(const std::string& file_name) {
  std::FILE* stream = std::fopen(file_name.c_str(), "rb");
  if (stream == nullptr) throw_io_error(errno, file_name);
  char start[8] = {};
  const std::size_t read = std::fread(start, 1, sizeof start, stream);
  std::fclose(stream);
  const std::string_view bytes(start, read);
  // NetCDF-4 files are HDF5 files; the classic formats begin "CDF".
  if (bytes.starts_with("\x89HDF\r\n\x1a\n") || bytes.starts_with("CDF")) {
    return OutputFormat::kNetcdf;
  }
  if (bytes.starts_with("time,")) return OutputFormat::kCsv;
  return OutputFormat::kOut;
}

bool netcdf_available() noexcept {
#ifdef VINDREL_HAVE_NETCDF
  return true;
#else
  return false;
#endif
}

std::unique_ptr<TableWriter> make_table_writer(OutputFormat format) {
  switch (format) {
    case OutputFormat::kCsv:
      return std::make_unique<CsvTableWriter>();
    case OutputFormat::kNetcdf:
      if (!netcdf_available()) throw std::runtime_error(std::string(kNetcdfMissing));
      return std::make_unique<NetcdfTableWriter>();
    case OutputFormat::kOut:
      break;
  }
  throw std::invalid_argument("the model's output file has a writer of its own");
}

void read_output_records(const std::string& file_name, const Model& model,
                         std::span<const std::size_t> needed, std::string_view needed_for,
                         const std::function<void(const double* row)>& on_record) {
  switch (output_format_of_file(file_name)) {
    case OutputFormat::kCsv:
      read_csv(file_name, model, needed, needed_for, on_record);
      return;
    case OutputFormat::kNetcdf:
      if (!netcdf_available()) {
        throw EInOutError("a NetCDF file, but " + std::string(kNetcdfMissing), file_name);
      }
      read_netcdf(file_name, model, needed, needed_for, on_record);
      return;
    case OutputFormat::kOut:
      read_out(file_name, model, on_record);
      return;
  }
}

}  // namespace vindrel
