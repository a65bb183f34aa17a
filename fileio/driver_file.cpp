#include "fileio/driver_file.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

// Column width of the program's own layout: a 25-character field and a space.
constexpr std::size_t kColumn = kFieldWidth + 1;
// Column width of the driver editor's layout.
constexpr std::size_t kEditorColumn = 26;

std::int32_t clamp_count(std::int32_t count) { return std::clamp(count, 0, kDriverCapacity); }

std::string header_line(std::string_view first, std::int32_t count, const driverarray& drivers,
                        bool units) {
  std::string line((static_cast<std::size_t>(count) + 1) * kColumn + 2, ' ');
  char* p = format_text_left(line.data(), first, kFieldWidth) + 1;
  for (std::int32_t i = 1; i <= count; ++i) {
    p = format_text_left(p, units ? drivers[i].units : drivers[i].name, kFieldWidth) + 1;
  }
  p[0] = '\r';
  p[1] = '\n';
  return line;
}

void append_editor_field(std::string& line, std::string_view text) {
  const std::size_t start = line.size();
  line.resize(start + kEditorColumn);
  format_text_left(line.data() + start, text, kEditorColumn);
}

void append_editor_number(std::string& line, double value) {
  char text[kMaxGeneralLength];
  const char* end = format_general(text, value, 15);
  append_editor_field(line, std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace

DriverLookup::DriverLookup() = default;
DriverLookup::~DriverLookup() = default;

bool DriverLookup::OpenDriverFile(const std::string& file_name, const TModelDef& info,
                                  const driverarray& drivers, bool for_writing) {
  reader_.close();
  writer_.abandon();
  file_name_ = file_name;
  driver_count_ = clamp_count(info.DriverCount);
  if (for_writing) {
    writer_.open(file_name);
    writer_.write(header_line("Time", driver_count_, drivers, false));
    writer_.write(header_line(info.TimeUnit, driver_count_, drivers, true));
    return true;
  }
  struct stat status;
  if (stat(file_name.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    return false;
  }
  open_for_reading();
  return true;
}

bool DriverLookup::OpenDriverFile(const std::string& file_name, const Model& model,
                                  bool for_writing) {
  return OpenDriverFile(file_name, model.ModelInfo, model.drivers, for_writing);
}

void DriverLookup::open_for_reading() {
  if (writer_.is_open()) throw EInOutError(std::string(kFileNotOpenForInput), file_name_);
  reader_.open(file_name_);
  reader_.skip_header_line("the names of the drivers on line 1");
  reader_.skip_header_line("the units of the drivers on line 2");
  end_of_data_ = false;
  record_number_ = 0;
  last_time_ = 0.0;
}

void DriverLookup::WriteDriverRecord(double time, std::int32_t DriverCount,
                                     const driverarray& drivers) {
  if (!writer_.is_open()) throw EInOutError(std::string(kFileNotOpenForOutput), file_name_);
  const std::int32_t count = clamp_count(DriverCount);
  line_.resize((static_cast<std::size_t>(count) + 1) * kColumn + 2);
  char* p = line_.data();
  p = format_e13_left(p, time);
  *p++ = ' ';
  for (std::int32_t i = 1; i <= count; ++i) {
    p = format_e13_left(p, drivers[i].value);
    *p++ = ' ';
  }
  p[0] = '\r';
  p[1] = '\n';
  writer_.write(line_);
}

bool DriverLookup::read_record(double& time, double* values, std::int32_t n,
                               const driverarray& names) {
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
  if (record > 1 && std::fabs(record_time) < last_time_) {
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

bool DriverLookup::ReadDriverRecord(double& time, std::int32_t DriverCount, driverarray& drivers) {
  if (!reader_.is_open()) throw EInOutError(std::string(kFileNotOpenForInput), file_name_);
  const std::int32_t count = clamp_count(DriverCount);
  double record_time = 0.0;
  if (!read_record(record_time, scratch_.data(), count, drivers)) return false;
  time = record_time;
  for (std::int32_t i = 1; i <= count; ++i) drivers[i].value = scratch_[i];
  return true;
}

void DriverLookup::CloseDriverFile() {
  reader_.close();
  if (writer_.is_open()) writer_.commit();
}

void DriverLookup::GetDrivers(driverarray& drivers, double t, double stop_time) {
  const std::int32_t n = driver_count_;
  double record_time = 0.0;
  if (PrevTime == 0.0 && NextTime == 0.0) {
    open_for_reading();
    if (!read_record(record_time, scratch_.data(), n, drivers)) {
      throw EInOutError(std::string(kNoDriverRecordMessage), file_name_, reader_.line());
    }
    NextTime = record_time;
    std::copy_n(scratch_.begin(), n + 1, next_.begin());
    PrevTime = NextTime;
    previous_ = next_;
  }
  while (std::fabs(NextTime) <= t) {
    PrevTime = NextTime;
    previous_ = next_;
    if (!end_of_data_ && !reader_.is_open()) {
      throw EInOutError(std::string(kFileNotOpenForInput), file_name_);
    }
    if (!read_record(record_time, scratch_.data(), n, drivers)) {
      NextTime = 2.0 * stop_time;
      break;
    }
    NextTime = record_time;
    std::copy_n(scratch_.begin(), n + 1, next_.begin());
  }
  const double previous_time = std::fabs(PrevTime);
  const double next_time = std::fabs(NextTime);
  if (NextTime < 0.0 && next_time != previous_time) {
    // Linear interpolation from the record in force towards the next record.
    const double f = (t - previous_time) / (next_time - previous_time);
    for (std::int32_t i = 1; i <= n; ++i) {
      drivers[i].value = previous_[i] + f * (next_[i] - previous_[i]);
    }
  } else {
    for (std::int32_t i = 1; i <= n; ++i) drivers[i].value = previous_[i];
  }
}

std::string DriverEditorNamesLine(std::int32_t DriverCount, const driverarray& drivers) {
  std::string line;
  append_editor_field(line, "Time");
  for (std::int32_t i = 1; i <= clamp_count(DriverCount); ++i) {
    append_editor_field(line, drivers[i].name);
  }
  return line;
}

std::string DriverEditorUnitsLine(const TModelDef& info, const driverarray& drivers) {
  std::string line;
  append_editor_field(line, info.TimeUnit);
  for (std::int32_t i = 1; i <= clamp_count(info.DriverCount); ++i) {
    append_editor_field(line, drivers[i].units);
  }
  return line;
}

std::string DriverEditorRecordLine(double time, std::int32_t DriverCount,
                                   const driverarray& drivers) {
  std::string line;
  append_editor_number(line, time);
  for (std::int32_t i = 1; i <= clamp_count(DriverCount); ++i) {
    append_editor_number(line, drivers[i].value);
  }
  return line;
}

}  // namespace vindrel
