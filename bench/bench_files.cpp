// The cost of the file formats beside the standard library's conversions on the
// same numbers: formatting an output record against std::to_chars with the same
// number of digits, and reading output and driver records against
// std::from_chars over the same text in memory.
//
// The numbers are those of a real run: one model year of the example stand, a
// record per day, captured at full precision while the run wrote them. Each
// routine and its floor are timed in alternating batches (cpu_clock.hpp).
#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/cpu_clock.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

// The fields of an output record: time, drivers, states, processes.
constexpr std::size_t kFields = 1 + driver::kCount + state::kCount + process::kOwnCount;
using Record = std::array<double, kFields>;
// A record line: every field 25 characters and a space, then CR LF.
constexpr std::size_t kLineLength = kFields * (kFieldWidth + 1) + 2;

// Keeps the values of every record that a run writes, and writes the file.
class RecordCapture : public RecordSink {
 public:
  explicit RecordCapture(const std::string& file_name) : file_(file_name) {}
  void begin(const Model& model) override { file_.begin(model); }
  void record(const Model& model, double time) override {
    file_.record(model, time);
    Record record{};
    std::size_t k = 0;
    record[k++] = time;
    for (int i = 1; i <= driver::kCount; ++i) record[k++] = model.drivers[i].value;
    for (int i = 1; i <= state::kCount; ++i) record[k++] = model.states[i].value;
    for (int i = state::kCount + 1; i <= process::kCount; ++i) {
      record[k++] = model.processes[i].value;
    }
    records.push_back(record);
  }
  void end() override { file_.end(); }
  std::vector<Record> records;

 private:
  OutputFileSink file_;
};

struct RunRecords {
  std::vector<Record> records;
  std::string output_file;  // the file the run wrote
};

const RunRecords& run_records() {
  static const RunRecords result = [] {
    Model model = example_model();
    RunSettings settings;
    settings.start_time = 1.0;
    settings.stop_time = 367.0;
    settings.batch_mode = true;
    settings.driver_file = example_stand().driver_file;
    settings.output_file = scratch_file("records.out");
    RecordCapture capture(settings.output_file);
    Run(model, settings, capture);
    return RunRecords{std::move(capture.records), settings.output_file};
  }();
  return result;
}

std::string file_text(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The same numbers as the model's tables hold them, for WriteOutputRecord.
void put_record(const Record& record, Model& model) {
  std::size_t k = 1;
  for (int i = 1; i <= driver::kCount; ++i) model.drivers[i].value = record[k++];
  for (int i = 1; i <= state::kCount; ++i) model.states[i].value = record[k++];
  for (int i = state::kCount + 1; i <= process::kCount; ++i) model.processes[i].value = record[k++];
}

// Records per timed formatting batch.
constexpr int kFormatBatch = 16;

// The record formats of the output file, field by field, as WriteOutputRecord
// lays out a line.
char* format_record(const Record& record, char* line) {
  char* p = format_g15_right(line, record[0]);
  *p++ = ' ';
  for (std::size_t k = 1; k < kFields; ++k) {
    p = format_e13_right(p, record[k]);
    *p++ = ' ';
  }
  *p++ = '\r';
  *p++ = '\n';
  return p;
}

// The floor: std::to_chars with the same significant digits (15 for the time,
// 13 for the values), a space after each, no alignment.
char* to_chars_record(const Record& record, char* line, char* end) {
  char* p = std::to_chars(line, end, record[0], std::chars_format::general, 15).ptr;
  *p++ = ' ';
  for (std::size_t k = 1; k < kFields; ++k) {
    p = std::to_chars(p, end, record[k], std::chars_format::scientific, 12).ptr;
    *p++ = ' ';
  }
  *p++ = '\r';
  *p++ = '\n';
  return p;
}

// One iteration is a batch of each: the format routines into a line, the
// output file's record writer into /dev/null (formatting, the values taken
// from the model's tables and the write call, without the disk), and
// std::to_chars on the same records.
void BM_Formatting(benchmark::State& state) {
  const std::vector<Record>& records = run_records().records;
  std::array<char, kLineLength> line{};
  char* const end = line.data() + line.size();
  Model model = example_model();
  OutputFileWriter output;
  output.open("/dev/null", model);
  BestTime format;
  BestTime write;
  BestTime to_chars;
  std::size_t first = 0;
  for (auto _ : state) {
    std::size_t r = first;
    const auto next = [&records, &r]() -> const Record& {
      const Record& record = records[r];
      r = r + 1 == records.size() ? 0 : r + 1;
      return record;
    };
    format.time(kFormatBatch, [&] {
      benchmark::DoNotOptimize(format_record(next(), line.data()));
      benchmark::ClobberMemory();
    });
    r = first;
    write.time(kFormatBatch, [&] {
      const Record& record = next();
      put_record(record, model);
      output.write_record(model, record[0]);
    });
    r = first;
    to_chars.time(kFormatBatch, [&] {
      benchmark::DoNotOptimize(to_chars_record(next(), line.data(), end));
      benchmark::ClobberMemory();
    });
    first = r;
  }
  output.close();
  state.counters[kFormatNs] = format.nanoseconds();
  state.counters[kWriteRecordNs] = write.nanoseconds();
  state.counters[kToCharsNs] = to_chars.nanoseconds();
}
BENCHMARK(BM_Formatting)->Name(kFormatting)->Unit(benchmark::kMicrosecond);

// The floor of reading: the text already in memory, the two header lines
// skipped, then every blank-separated number through std::from_chars into one
// array of a record's values. Returns the records read.
std::int64_t from_chars_pass(const std::string& text, std::vector<double>& values) {
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int line = 0; line < 2; ++line) {
    p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))) + 1;
  }
  std::int64_t records = 0;
  std::size_t k = 0;
  for (;;) {
    while (p != end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    if (p == end) break;
    const auto result = std::from_chars(p, end, values[k]);
    if (result.ec != std::errc{}) throw std::runtime_error("not a number");
    p = result.ptr;
    if (++k == values.size()) {
      k = 0;
      ++records;
    }
  }
  benchmark::DoNotOptimize(values.data());
  benchmark::ClobberMemory();
  return records;
}

// Reading: one iteration is one pass over the whole file with the program's
// reader and one with std::from_chars over its text; the counters are the best
// passes' times per record read by the program (an end marker that the floor
// reads as one more record is not counted).
template <class ReadFile>
void paired_reading(benchmark::State& state, const std::string& path, std::size_t fields,
                    ReadFile&& read_file) {
  const std::string text = file_text(path);
  std::vector<double> values(fields);
  BestTime read;
  BestTime floor;
  std::int64_t records = 0;
  for (auto _ : state) {
    read.time(1, [&] { records = read_file(); });
    floor.time(1, [&] { benchmark::DoNotOptimize(from_chars_pass(text, values)); });
  }
  const double per_record = records > 0 ? 1e9 / static_cast<double>(records) : 0.0;
  state.counters[kReadNs] = read.seconds() * per_record;
  state.counters[kFromCharsNs] = floor.seconds() * per_record;
  state.counters["records_per_pass"] = static_cast<double>(records);
}

void BM_OutputParsing(benchmark::State& state) {
  const RunRecords& run = run_records();
  Model model = example_model();
  OutputFileReader output;
  paired_reading(state, run.output_file, kFields, [&]() -> std::int64_t {
    output.open(run.output_file);
    double time = 0.0;
    std::int64_t records = 0;
    while (output.read_record(time, model)) ++records;
    output.close();
    benchmark::DoNotOptimize(time);
    return records;
  });
}
BENCHMARK(BM_OutputParsing)->Name(kOutputParsing)->Unit(benchmark::kMillisecond);

void BM_DriverParsing(benchmark::State& state) {
  Model model = example_model();
  DriverFileReader reader;
  const std::string& path = example_stand().driver_file;
  paired_reading(state, path, 1 + driver::kCount, [&]() -> std::int64_t {
    reader.open(path);
    double time = 0.0;
    std::int64_t records = 0;
    while (reader.read_record(time, driver::kCount, model.drivers)) ++records;
    reader.close();
    benchmark::DoNotOptimize(time);
    return records;
  });
}
BENCHMARK(BM_DriverParsing)->Name(kDriverParsing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vindrel::bench
