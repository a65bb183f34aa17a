// Writing a driver file, and the lines of the driver editor's layout.
#include <algorithm>
#include <memory>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
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

DriverFileWriter::DriverFileWriter() = default;
DriverFileWriter::~DriverFileWriter() = default;

void DriverFileWriter::open(const std::string& file_name, const TModelDef& info,
                            const driverarray& drivers) {
  writer_.abandon();
  file_name_ = file_name;
  const std::int32_t count = clamp_count(info.DriverCount);
  writer_.open(file_name);
  writer_.write(header_line("Time", count, drivers, false));
  writer_.write(header_line(info.TimeUnit, count, drivers, true));
}

void DriverFileWriter::open(const std::string& file_name, const Model& model) {
  open(file_name, model.ModelInfo, model.drivers);
}

void DriverFileWriter::write_record(double time, std::int32_t DriverCount,
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

void DriverFileWriter::close() {
  if (writer_.is_open()) writer_.commit();
}

void DriverFileWriter::abandon() noexcept { writer_.abandon(); }

void create_driver_file(const std::string& file_name, const TModelDef& info,
                        const driverarray& drivers, double time) {
  auto zero = std::make_unique<driverarray>(drivers);
  for (std::int32_t i = 1; i <= clamp_count(info.DriverCount); ++i) (*zero)[i].value = 0.0;
  DriverFileWriter writer;
  writer.open(file_name, info, *zero);
  writer.write_record(time, info.DriverCount, *zero);
  writer.close();
}

std::string driver_editor_names_line(std::int32_t DriverCount, const driverarray& drivers) {
  std::string line;
  append_editor_field(line, "Time");
  for (std::int32_t i = 1; i <= clamp_count(DriverCount); ++i) {
    append_editor_field(line, drivers[i].name);
  }
  return line;
}

std::string driver_editor_units_line(const TModelDef& info, const driverarray& drivers) {
  std::string line;
  append_editor_field(line, info.TimeUnit);
  for (std::int32_t i = 1; i <= clamp_count(info.DriverCount); ++i) {
    append_editor_field(line, drivers[i].units);
  }
  return line;
}

std::string driver_editor_record_line(double time, std::int32_t DriverCount,
                                      const driverarray& drivers) {
  std::string line;
  append_editor_number(line, time);
  for (std::int32_t i = 1; i <= clamp_count(DriverCount); ++i) {
    append_editor_number(line, drivers[i].value);
  }
  return line;
}

}  // namespace vindrel
