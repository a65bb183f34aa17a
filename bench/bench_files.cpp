// The cost of the file formats beside the standard library's conversions on the
// same numbers: formatting an output record against std::to_chars with the same
// number of digits, and reading output and driver records against
// std::from_chars over the same text in memory.
//
// The numbers are those of a real run: one model year of the example stand, a
// record per day, captured at full precision while the run wrote them.
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
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_file.hpp"
#include "run/run_loop.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

// The fields of an output record: time, drivers, states, processes.
constexpr std::size_t kFields = 1 + driver::kCount + state::kCount + process::kOwnCount;
using Record = std::array<double, kFields>;
// A record line: every field 25 characters and a space, then CR LF.
constexpr std::size_t kLineLength = kFields * (kFieldWidth + 1) + 2;

// Keeps the values of every record that a run writes.
class RecordCapture : public RunObserver {
 public:
  explicit RecordCapture(const Model& model) : model_(model) {}
  // Called after each step's record was written, before the next step.
  void process_pending_messages() override {
    Record record{};
    std::size_t k = 0;
    record[k++] = ++day_;
    for (int i = 1; i <= driver::kCount; ++i) record[k++] = model_.drivers[i].value;
    for (int i = 1; i <= state::kCount; ++i) record[k++] = model_.states[i].value;
    for (int i = state::kCount + 1; i <= process::kCount; ++i) {
      record[k++] = model_.processes[i].value;
    }
    records.push_back(record);
  }
  std::vector<Record> records;

 private:
  const Model& model_;
  double day_ = 1.0;
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
    RecordCapture capture(model);
    DriverLookup drivers;
    RunState state;
    Run(model, settings, drivers, state, capture);
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

// The record formats of the output file, field by field, as WriteOutputRecord
// lays out a line.
void BM_FormatRecord(benchmark::State& state) {
  const std::vector<Record>& records = run_records().records;
  std::array<char, kLineLength> line{};
  std::size_t r = 0;
  for (auto _ : state) {
    const Record& record = records[r];
    r = r + 1 == records.size() ? 0 : r + 1;
    char* p = format_g15_right(line.data(), record[0]);
    *p++ = ' ';
    for (std::size_t k = 1; k < kFields; ++k) {
      p = format_e13_right(p, record[k]);
      *p++ = ' ';
    }
    *p++ = '\r';
    *p++ = '\n';
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatRecord)->Name(kFormatRecord);

// The floor: std::to_chars with the same significant digits (15 for the time,
// 13 for the values), a space after each, no alignment.
void BM_ToCharsRecord(benchmark::State& state) {
  const std::vector<Record>& records = run_records().records;
  std::array<char, kLineLength> line{};
  char* const end = line.data() + line.size();
  std::size_t r = 0;
  for (auto _ : state) {
    const Record& record = records[r];
    r = r + 1 == records.size() ? 0 : r + 1;
    char* p = std::to_chars(line.data(), end, record[0], std::chars_format::general, 15).ptr;
    *p++ = ' ';
    for (std::size_t k = 1; k < kFields; ++k) {
      p = std::to_chars(p, end, record[k], std::chars_format::scientific, 12).ptr;
      *p++ = ' ';
    }
    *p++ = '\r';
    *p++ = '\n';
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ToCharsRecord)->Name(kToCharsRecord);

// The output file's record writer into /dev/null: formatting, the values taken
// from the model's tables and the write call, without the disk.
void BM_WriteOutputRecord(benchmark::State& state) {
  const std::vector<Record>& records = run_records().records;
  Model model = example_model();
  OutputFile output;
  output.OpenOutputFile("/dev/null", model, true);
  std::size_t r = 0;
  for (auto _ : state) {
    const Record& record = records[r];
    r = r + 1 == records.size() ? 0 : r + 1;
    put_record(record, model);
    output.WriteOutputRecord(model, record[0]);
  }
  output.CloseOutputFile();
}
BENCHMARK(BM_WriteOutputRecord)->Name(kWriteRecord);

// Reading: one pass over a whole file per iteration; the counter gives the
// records of a pass, and the summary compares passes over the same text.
void BM_ReadOutputRecord(benchmark::State& state) {
  const RunRecords& run = run_records();
  Model model = example_model();
  OutputFile output;
  std::int64_t records = 0;
  for (auto _ : state) {
    output.OpenOutputFile(run.output_file, model, false);
    double time = 0.0;
    records = 0;
    while (output.ReadOutputRecord(time, model)) ++records;
    output.CloseOutputFile();
    benchmark::DoNotOptimize(time);
  }
  state.counters["records_per_pass"] = static_cast<double>(records);
}
BENCHMARK(BM_ReadOutputRecord)->Name(kReadOutputRecord)->Unit(benchmark::kMicrosecond);

// The floor of reading: the text already in memory, the two header lines
// skipped, then every blank-separated number through std::from_chars into one
// array of the record's values.
void from_chars_pass(benchmark::State& state, const std::string& text, std::size_t fields) {
  std::vector<double> values(fields);
  std::int64_t records = 0;
  for (auto _ : state) {
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int line = 0; line < 2; ++line) {
      p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))) + 1;
    }
    records = 0;
    std::size_t k = 0;
    for (;;) {
      while (p != end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
      if (p == end) break;
      const auto result = std::from_chars(p, end, values[k]);
      if (result.ec != std::errc{}) {
        state.SkipWithError("not a number");
        return;
      }
      p = result.ptr;
      if (++k == fields) {
        k = 0;
        ++records;
      }
    }
    benchmark::DoNotOptimize(values.data());
    benchmark::ClobberMemory();
  }
  state.counters["records_per_pass"] = static_cast<double>(records);
}

void BM_FromCharsOutputRecord(benchmark::State& state) {
  from_chars_pass(state, file_text(run_records().output_file), kFields);
}
BENCHMARK(BM_FromCharsOutputRecord)->Name(kFromCharsOutputRecord)->Unit(benchmark::kMicrosecond);

void BM_ReadDriverRecord(benchmark::State& state) {
  Model model = example_model();
  DriverLookup lookup;
  std::int64_t records = 0;
  for (auto _ : state) {
    lookup.OpenDriverFile(example_stand().driver_file, model, false);
    double time = 0.0;
    records = 0;
    while (lookup.ReadDriverRecord(time, driver::kCount, model.drivers)) ++records;
    lookup.CloseDriverFile();
    benchmark::DoNotOptimize(time);
  }
  state.counters["records_per_pass"] = static_cast<double>(records);
}
BENCHMARK(BM_ReadDriverRecord)->Name(kReadDriverRecord)->Unit(benchmark::kMicrosecond);

void BM_FromCharsDriverRecord(benchmark::State& state) {
  from_chars_pass(state, file_text(example_stand().driver_file), 1 + driver::kCount);
}
BENCHMARK(BM_FromCharsDriverRecord)->Name(kFromCharsDriverRecord)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vindrel::bench
