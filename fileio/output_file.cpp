#include "fileio/output_file.hpp"

#include <algorithm>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

// Column width: a 25-character field and a space.
constexpr std::size_t kColumn = kFieldWidth + 1;

// The counts of one file's columns, kept within the tables' capacities.
struct Columns {
  std::int32_t drivers;
  std::int32_t states;
  std::int32_t processes;  // the process table's count, derivatives included

  Columns(std::int32_t driver_count, std::int32_t state_count, std::int32_t process_count)
      : drivers(std::clamp(driver_count, 0, kDriverCapacity)),
        states(std::clamp(state_count, 0, kStateCapacity)),
        processes(std::clamp(process_count, states, kProcessCapacity)) {}

  std::size_t count() const {
    return static_cast<std::size_t>(1 + drivers + states + (processes - states));
  }
  std::size_t line_length() const { return count() * kColumn + 2; }
};

// Where column k (0-based) of a record comes from, for messages.
std::string describe_column(std::size_t k, const Columns& columns, const driverarray& drivers,
                            const statearray& states, const processarray& processes,
                            std::size_t record) {
  std::string text = "column " + std::to_string(k + 1) + " (";
  const auto index = static_cast<std::int32_t>(k);
  if (index == 0) {
    text += "time";
  } else if (index <= columns.drivers) {
    text += "driver " + std::to_string(index) + ", " + drivers[index].name;
  } else if (index <= columns.drivers + columns.states) {
    const std::int32_t i = index - columns.drivers;
    text += "state " + std::to_string(i) + ", " + states[i].name;
  } else {
    const std::int32_t p = index - columns.drivers;
    text += "process " + std::to_string(p) + ", " + processes[p].name;
  }
  return text + ") of record " + std::to_string(record);
}

}  // namespace

std::size_t output_columns(const TModelDef& info) {
  return Columns(info.DriverCount, info.StateCount, info.ProcessCount).count();
}

std::string format_output_header(const TModelDef& info, const driverarray& drivers,
                                 std::int32_t StateCount, const statearray& states,
                                 std::int32_t ProcessCount, const processarray& processes) {
  const Columns columns(info.DriverCount, StateCount, ProcessCount);
  std::string header(2 * columns.line_length(), ' ');
  char* p = header.data();
  for (const bool units : {false, true}) {
    p = format_text_right(p, units ? info.TimeUnit : "Time", kFieldWidth) + 1;
    for (std::int32_t i = 1; i <= columns.drivers; ++i) {
      p = format_text_right(p, units ? drivers[i].units : drivers[i].name, kFieldWidth) + 1;
    }
    for (std::int32_t i = 1; i <= columns.states; ++i) {
      p = format_text_right(p, units ? states[i].units : states[i].name, kFieldWidth) + 1;
    }
    for (std::int32_t i = columns.states + 1; i <= columns.processes; ++i) {
      p = format_text_right(p, units ? processes[i].units : processes[i].name, kFieldWidth) + 1;
    }
    *p++ = '\r';
    *p++ = '\n';
  }
  return header;
}

std::size_t output_record_length(std::int32_t DriverCount, std::int32_t StateCount,
                                 std::int32_t ProcessCount) {
  return Columns(DriverCount, StateCount, ProcessCount).line_length();
}

char* format_output_record(char* out, const driverarray& drivers, std::int32_t DriverCount,
                           std::int32_t StateCount, const statearray& states,
                           std::int32_t ProcessCount, const processarray& processes,
                           double time) noexcept {
  const Columns columns(DriverCount, StateCount, ProcessCount);
  char* p = out;
  p = format_g15_right(p, time);
  *p++ = ' ';
  for (std::int32_t i = 1; i <= columns.drivers; ++i) {
    p = format_e13_right(p, drivers[i].value);
    *p++ = ' ';
  }
  for (std::int32_t i = 1; i <= columns.states; ++i) {
    p = format_e13_right(p, states[i].value);
    *p++ = ' ';
  }
  for (std::int32_t i = columns.states + 1; i <= columns.processes; ++i) {
    p = format_e13_right(p, processes[i].value);
    *p++ = ' ';
  }
  *p++ = '\r';
  *p++ = '\n';
  return p;
}

OutputFileWriter::OutputFileWriter() = default;
OutputFileWriter::~OutputFileWriter() = default;

void OutputFileWriter::open(const std::string& file_name, const TModelDef& info,
                            const driverarray& drivers, std::int32_t StateCount,
                            const statearray& states, std::int32_t ProcessCount,
                            const processarray& processes) {
  writer_.abandon();
  const std::string header =
      format_output_header(info, drivers, StateCount, states, ProcessCount, processes);
  // The header and the records go to a temporary file in the target's folder
  // that replaces the target at close(): a previous file stays whole until the
  // new one is.
  writer_.open(file_name);
  writer_.write(header);
  writer_.start_appending();
}

void OutputFileWriter::open(const std::string& file_name, const Model& model) {
  open(file_name, model.ModelInfo, model.drivers, model.ModelInfo.StateCount, model.states,
       model.ModelInfo.ProcessCount, model.processes);
}

void OutputFileWriter::write_record(const driverarray& drivers, std::int32_t DriverCount,
                                    std::int32_t StateCount, const statearray& states,
                                    std::int32_t ProcessCount, const processarray& processes,
                                    double time) {
  if (!writer_.is_open()) throw EInOutError(std::string(kFileNotOpenForOutput), writer_.path());
  // Formatted straight into the file's buffer.
  char* const start = writer_.reserve(output_record_length(DriverCount, StateCount, ProcessCount));
  const char* const end = format_output_record(start, drivers, DriverCount, StateCount, states,
                                               ProcessCount, processes, time);
  writer_.append(static_cast<std::size_t>(end - start));
}

void OutputFileWriter::write_record(const Model& model, double time) {
  write_record(model.drivers, model.ModelInfo.DriverCount, model.ModelInfo.StateCount, model.states,
               model.ModelInfo.ProcessCount, model.processes, time);
}

void OutputFileWriter::close() {
  if (writer_.is_open()) writer_.close();
}

void OutputFileWriter::close_as(const std::string& file_name) {
  if (!writer_.is_open()) return;
  writer_.retarget(file_name);
  writer_.close();
}

OutputFileReader::OutputFileReader() = default;
OutputFileReader::~OutputFileReader() = default;

void OutputFileReader::open(const TextSource& source) {
  reader_.close();
  record_number_ = 0;
  reader_.open(source);
  reader_.skip_header_line("the names of the columns on line 1");
  reader_.skip_header_line("the units of the columns on line 2");
}

bool OutputFileReader::read_values(std::int32_t DriverCount, std::int32_t StateCount,
                                   std::int32_t ProcessCount, const driverarray& drivers,
                                   const statearray& states, const processarray& processes) {
  if (!reader_.is_open()) throw EInOutError(std::string(kFileNotOpenForInput), reader_.file_name());
  if (reader_.at_end_of_data()) return false;
  const Columns columns(DriverCount, StateCount, ProcessCount);
  const std::size_t count = columns.count();
  if (values_.size() < count) values_.resize(count);
  const std::size_t record = record_number_ + 1;
  for (std::size_t k = 0; k < count; ++k) {
    const TokenReader::NumberToken token = reader_.next_number();
    if (token.status != TokenReader::TokenStatus::kNumber) {
      reader_.fail_token(token, describe_column(k, columns, drivers, states, processes, record));
    }
    values_[k] = token.value;
  }
  reader_.skip_line();
  record_number_ = record;
  return true;
}

bool OutputFileReader::read_record(double& time, std::int32_t DriverCount, driverarray& drivers,
                                   std::int32_t StateCount, statearray& states,
                                   std::int32_t ProcessCount, processarray& processes) {
  if (!read_values(DriverCount, StateCount, ProcessCount, drivers, states, processes)) {
    return false;
  }
  // The whole record was read: store it.
  const Columns columns(DriverCount, StateCount, ProcessCount);
  std::size_t k = 0;
  time = values_[k++];
  for (std::int32_t i = 1; i <= columns.drivers; ++i) drivers[i].value = values_[k++];
  for (std::int32_t i = 1; i <= columns.states; ++i) states[i].value = values_[k++];
  for (std::int32_t i = columns.states + 1; i <= columns.processes; ++i) {
    processes[i].value = values_[k++];
  }
  return true;
}

bool OutputFileReader::read_record(double& time, Model& model) {
  return read_record(time, model.ModelInfo.DriverCount, model.drivers, model.ModelInfo.StateCount,
                     model.states, model.ModelInfo.ProcessCount, model.processes);
}

bool OutputFileReader::read_record(double* row, const Model& model) {
  const TModelDef& info = model.ModelInfo;
  if (!read_values(info.DriverCount, info.StateCount, info.ProcessCount, model.drivers,
                   model.states, model.processes)) {
    return false;
  }
  std::copy_n(values_.begin(), output_columns(info), row);
  return true;
}

void OutputFileReader::close() { reader_.close(); }

}  // namespace vindrel
