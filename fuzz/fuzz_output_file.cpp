// Fuzzes the output file reader. Whatever the bytes, reading records must end,
// throw nothing but EInOutError naming the file, and change nothing when a read
// fails. The first records read are written again in the writer's layout and
// read back: times keep their 15 significant digits and values their 13.
// Everything is read from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_file.hpp"
#include "fuzz/fuzz_support.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

constexpr std::size_t kRecordsWrittenBack = 3;

// The values of one record as the file holds them: the time and every column.
struct Record {
  double time = 0.0;
  Model values;
};

void check_error(const EInOutError& error, const std::string& name, std::size_t size) {
  check(error.file() == name, "the error does not name the file");
  check(!error.message().empty(), "the error has no message");
  check(error.line() <= size + 1, "the error names a line past the end of the file");
}

bool same_text_e13(double a, double b) { return e13_right_text(a) == e13_right_text(b); }

// Compares the columns of two records through the output file's own formats.
void check_same_record(const Record& first, const Record& second) {
  const TModelDef& info = first.values.ModelInfo;
  check(g15_right_text(first.time) == g15_right_text(second.time), "a time changed on rewriting");
  for (int i = 1; i <= info.DriverCount; ++i)
    check(same_text_e13(first.values.drivers[i].value, second.values.drivers[i].value),
          "a driver value changed on rewriting");
  for (int i = 1; i <= info.StateCount; ++i)
    check(same_text_e13(first.values.states[i].value, second.values.states[i].value),
          "a state value changed on rewriting");
  for (int i = info.StateCount + 1; i <= info.ProcessCount; ++i)
    check(same_text_e13(first.values.processes[i].value, second.values.processes[i].value),
          "a process value changed on rewriting");
}

// Reads every record of `input`; keeps the first few in `kept`. Returns false
// when a read failed.
bool read_records(const TextSource& input, std::size_t size, std::vector<Record>& kept) {
  const std::string& path = input.name();
  const Model& pristine = fuzzing::pristine_model();
  OutputFileReader file;
  try {
    file.open(input);
  } catch (const EInOutError& error) {
    check_error(error, path, size);
    return false;
  }
  Record record{-77.0, pristine};
  std::size_t records = 0;
  for (;;) {
    const Record before = record;
    bool more = false;
    try {
      more = file.read_record(record.time, record.values);
    } catch (const EInOutError& error) {
      check_error(error, path, size);
      check(error.line() >= 1, "a bad record names no line");
      check(fuzzing::same_values(record.values, before.values) &&
                fuzzing::same_bits(record.time, before.time),
            "a failed record read changed the tables");
      return false;
    }
    if (!more) {
      check(fuzzing::same_values(record.values, before.values) &&
                fuzzing::same_bits(record.time, before.time),
            "the end of the data changed the tables");
      break;
    }
    check(fuzzing::same_values(record.values.parameters, pristine.parameters),
          "reading an output record changed parameters");
    check(++records <= size, "more records than bytes in the file");
    if (kept.size() < kRecordsWrittenBack) kept.push_back(record);
  }
  file.close();
  return true;
}

// The text of an output file holding `records`, as the writer writes it.
std::string output_text(const std::vector<Record>& records) {
  const Model& model = fuzzing::pristine_model();
  const TModelDef& info = model.ModelInfo;
  std::string text = format_output_header(info, model.drivers, info.StateCount, model.states,
                                          info.ProcessCount, model.processes);
  std::string line(output_record_length(info.DriverCount, info.StateCount, info.ProcessCount), ' ');
  for (const Record& record : records) {
    const Model& values = record.values;
    char* end =
        format_output_record(line.data(), values.drivers, info.DriverCount, info.StateCount,
                             values.states, info.ProcessCount, values.processes, record.time);
    text.append(line.data(), end);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TextSource input =
      TextSource::text(std::string_view(reinterpret_cast<const char*>(data), size), "input.out");

  std::vector<Record> kept;
  if (!read_records(input, size, kept) || kept.empty()) return 0;

  const std::string again = output_text(kept);
  std::vector<Record> read_back;
  check(read_records(TextSource::text(again, "again.out"), SIZE_MAX, read_back),
        "a file written by the program failed");
  check(read_back.size() == kept.size(), "records lost on rewriting");
  for (std::size_t i = 0; i < kept.size(); ++i) check_same_record(kept[i], read_back[i]);
  return 0;
}
