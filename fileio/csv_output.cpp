#include "fileio/csv_output.hpp"

#include <cerrno>
#include <limits>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

// A header field, quoted when it must be.
void append_field(std::string& out, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void CsvTableWriter::open(const std::string& file_name, const TModelDef&,
                          std::span<const ColumnLabel> columns, const OutputMetadata&) {
  writer_.abandon();
  columns_ = columns.size();
  line_.resize(columns_ * (kMaxRoundTripRealLength + 1) + 1);
  std::string header;
  for (const bool units : {false, true}) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (k > 0) header += ',';
      append_field(header, units ? columns[k].units : columns[k].name);
    }
    header += '\n';
  }
  writer_.open(file_name);
  writer_.write(header);
}

void CsvTableWriter::write_row(const double* values) {
  char* p = line_.data();
  for (std::size_t k = 0; k < columns_; ++k) {
    // The time as the model counts it; every value as a real number.
    if (k > 0) *p++ = ',';
    p = k == 0 ? format_round_trip(p, values[k]) : format_round_trip_real(p, values[k]);
  }
  *p++ = '\n';
  writer_.write(line_.data(), static_cast<std::size_t>(p - line_.data()));
}

void CsvTableWriter::close() {
  if (writer_.is_open()) writer_.commit();
}

void CsvTableWriter::close_as(const std::string& file_name) {
  if (!writer_.is_open()) return;
  writer_.retarget(file_name);
  writer_.commit();
}

bool split_csv_line(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  std::string field;
  bool quoted = false;
  bool in_quotes = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (in_quotes) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        in_quotes = false;
      }
    } else if (c == '"' && !quoted && field.empty()) {
      in_quotes = quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      quoted = false;
    } else {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  return !in_quotes;
}

CsvOutputReader::CsvOutputReader() = default;
CsvOutputReader::~CsvOutputReader() { close(); }

void CsvOutputReader::close() noexcept {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

void CsvOutputReader::fail(const std::string& message) const {
  throw EInOutError(message, file_name_, line_number_);
}

bool CsvOutputReader::next_line() {
  line_.clear();
  int c = 0;
  while ((c = std::getc(stream_)) != EOF && c != '\n') line_ += static_cast<char>(c);
  if (std::ferror(stream_)) throw_io_error(errno != 0 ? errno : EIO, file_name_, line_number_ + 1);
  if (c == EOF && line_.empty()) return false;
  ++line_number_;
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return true;
}

void CsvOutputReader::open(const std::string& file_name) {
  close();
  file_name_ = file_name;
  line_number_ = 0;
  names_.clear();
  units_.clear();
  stream_ = std::fopen(file_name.c_str(), "rb");
  if (stream_ == nullptr) throw_io_error(errno, file_name);
  for (std::vector<std::string>* header : {&names_, &units_}) {
    const bool names = header == &names_;
    if (!next_line()) {
      fail(std::string(kUnexpectedEndOfFile) + ": expected the " + (names ? "names" : "units") +
           " of the columns on line " + std::to_string(line_number_ + 1));
    }
    if (!split_csv_line(line_, *header)) fail("a quote is not closed");
    if (names && names_.front() != "time") {
      fail("expected a CSV output of a run, whose first column is \"time\", found \"" +
           names_.front() + "\"");
    }
  }
  if (units_.size() != names_.size()) {
    fail("expected the units of the " + std::to_string(names_.size()) + " columns, found " +
         std::to_string(units_.size()) + " fields");
  }
}

bool CsvOutputReader::read_row(std::vector<double>& values) {
  if (stream_ == nullptr) throw EInOutError(std::string(kFileNotOpenForInput), file_name_);
  if (!next_line()) return false;
  if (line_.find_first_not_of(" \t") == std::string::npos) {
    // Blank lines end the data only at the end of the file.
    const std::size_t blank_line = line_number_;
    while (next_line()) {
      if (line_.find_first_not_of(" \t") != std::string::npos) {
        line_number_ = blank_line;
        fail("expected a record, found a blank line");
      }
    }
    return false;
  }
  values.assign(names_.size(), 0.0);
  std::size_t column = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line_.find(',', start);
    const std::size_t end = comma == std::string::npos ? line_.size() : comma;
    if (column == names_.size()) {
      fail("expected " + std::to_string(names_.size()) + " fields, found more");
    }
    const std::string_view field(line_.data() + start, end - start);
    if (field.empty()) {
      values[column] = std::numeric_limits<double>::quiet_NaN();
    } else if (!parse_number(field, values[column])) {
      fail(std::string(kInvalidNumericInput) + ": expected the value of column " +
           std::to_string(column + 1) + " (" + names_[column] + "), found \"" +
           std::string(field.substr(0, 40)) + "\"");
    }
    ++column;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (column != names_.size()) {
    fail("expected " + std::to_string(names_.size()) + " fields, found " + std::to_string(column));
  }
  return true;
}

}  // namespace vindrel
