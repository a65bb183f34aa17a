// Reading a driver file record by record.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>
#include <string_view>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

std::int32_t clamp_count(std::int32_t count) { return std::clamp(count, 0, kDriverCapacity); }

}  // namespace

DriverFileReader::DriverFileReader() = default;
DriverFileReader::~DriverFileReader() = default;

bool DriverFileReader::open(const TextSource& source) {
  reader_.close();
  source_ = source;
  struct stat status;
  if (!source.in_memory() && stat(source.name().c_str(), &status) != 0 &&
      (errno == ENOENT || errno == ENOTDIR)) {
    return false;
  }
  open_existing();
  return true;
}

void DriverFileReader::open_existing() {
  reader_.open(source_);
  reader_.skip_header_line("the names of the drivers on line 1");
  reader_.skip_header_line("the units of the drivers on line 2");
  end_of_data_ = false;
  record_number_ = 0;
  last_time_ = 0.0;
}

void DriverFileReader::close() noexcept { reader_.close(); }

bool DriverFileReader::read_values(double& time, double* values, std::int32_t n,
                                   const driverarray& names, ScannedDriverRecord* scan) {
  if (end_of_data_ || reader_.at_end_of_data()) {
    end_of_data_ = true;
    return false;
  }
  const std::size_t record = record_number_ + 1;
  TokenReader::NumberToken token = reader_.next_number();
  if (token.status != TokenReader::TokenStatus::kNumber) {
    reader_.fail_token(token, "the time of record " + std::to_string(record));
  }
  const double record_time = token.value;
  const std::size_t time_line = token.line;
  if (!std::isfinite(record_time)) {
    // The lookup compares times: a time that is not a number would hold the
    // values in force for the rest of a run without a word.
    reader_.fail("Invalid record time: expected the time of record " + std::to_string(record) +
                     " as a finite number, found \"" + std::string(token.text) + "\"",
                 time_line);
  }
  bool all_zero = record_time == 0.0;
  for (std::int32_t i = 1; i <= n; ++i) {
    token = reader_.next_number();
    if (token.status == TokenReader::TokenStatus::kEndOfFile && all_zero) {
      // A shortened end marker: the missing numbers would all read as 0.
      end_of_data_ = true;
      return false;
    }
    if (token.status != TokenReader::TokenStatus::kNumber) {
      reader_.fail_token(token, "driver " + std::to_string(i) + " (" + names[i].name +
                                    ") of record " + std::to_string(record));
    }
    values[i] = token.value;
    if (scan != nullptr) scan->lines[static_cast<std::size_t>(i)] = token.line;
    all_zero = all_zero && token.value == 0.0;
  }
  reader_.skip_line();
  if (all_zero) {
    // The end marker: it and everything after it are ignored.
    end_of_data_ = true;
    return false;
  }
  // Records follow each other in time (the sign only says how to get there):
  // the lookup moves forward only, so a record earlier than the one before it
  // would silently skip records.
  if (scan != nullptr) {
    scan->number = record;
    scan->time_line = time_line;
    scan->last_line = n > 0 ? scan->lines[static_cast<std::size_t>(n)] : time_line;
  } else if (record > 1 && std::fabs(record_time) < last_time_) {
    reader_.fail("Driver times out of order: expected the time of record " +
                     std::to_string(record) + " to be at least " +
                     shortest_decimal_text(last_time_) + " (the time of record " +
                     std::to_string(record - 1) + "), found " + shortest_decimal_text(record_time),
                 time_line);
  }
  last_time_ = std::fabs(record_time);
  record_number_ = record;
  time = record_time;
  return true;
}

bool DriverFileReader::read_record(double& time, std::int32_t DriverCount, driverarray& drivers) {
  if (!reader_.is_open()) throw EInOutError(std::string(kFileNotOpenForInput), source_.name());
  const std::int32_t count = clamp_count(DriverCount);
  double record_time = 0.0;
  if (!read_values(record_time, scratch_.data(), count, drivers)) return false;
  time = record_time;
  for (std::int32_t i = 1; i <= count; ++i) drivers[i].value = scratch_[i];
  return true;
}

void check_driver_record_lines(std::string_view text, std::int32_t DriverCount,
                               const std::string& name) {
  const std::int32_t drivers = clamp_count(DriverCount);
  const std::size_t expected = static_cast<std::size_t>(drivers) + 1;
  std::size_t line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view content = text.substr(start, end - start);
    start = end + 1;
    if (++line <= 2) continue;  // the header lines
    std::size_t fields = 0;
    bool in_field = false;
    for (const char c : content) {
      const bool blank = c == ' ' || c == '\t' || c == '\r';
      if (!blank && !in_field) ++fields;
      in_field = !blank;
    }
    if (fields != 0 && fields != expected) {
      throw EInOutError("Wrong number of fields: expected the time and " + std::to_string(drivers) +
                            " driver values, " + std::to_string(expected) + " fields, found " +
                            std::to_string(fields),
                        name, line);
    }
  }
}

double last_driver_record_time(const TextSource& source, const Model& model) {
  DriverFileReader reader;
  if (!reader.open(source)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), source.name());
  }
  const std::int32_t count = clamp_count(model.ModelInfo.DriverCount);
  double time = 0.0;
  bool any = false;
  // Only the times matter: the values go to the reader's scratch record.
  while (reader.read_values(time, reader.scratch_.data(), count, model.drivers)) any = true;
  if (!any) throw EInOutError(std::string(kNoDriverRecordMessage), source.name(), reader.line());
  return std::fabs(time);
}

}  // namespace vindrel

namespace vindrel {

std::size_t scan_driver_records(const std::string& file_name, const Model& model,
                                const std::function<bool(const ScannedDriverRecord&)>& visit) {
  DriverFileReader reader;
  if (!reader.open(file_name)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), file_name);
  }
  const std::int32_t count = clamp_count(model.ModelInfo.DriverCount);
  ScannedDriverRecord record;
  double time = 0.0;
  while (reader.read_values(time, record.values.data(), count, model.drivers, &record)) {
    record.time = time;
    if (!visit(record)) break;
  }
  return reader.line();
}

}  // namespace vindrel
