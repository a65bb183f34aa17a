// Speed of the file formats against the bare standard conversions: one output
// record of 208 fields formatted and written, and one record read back, each
// next to std::to_chars / std::from_chars on the same 208 numbers. The ratio of
// a pair's times is the price of the fixed-width layout and of the file handling.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_file.hpp"
#include "fileio/token_reader.hpp"

namespace {

using vindrel::Model;

constexpr int kFields = 208;

// A model whose values span the magnitudes a run produces, with both signs.
Model model_with_values() {
  Model model = vindrel::make_model();
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-8, 6);
  const auto draw = [&] { return mantissa(random) * std::pow(10.0, exponent(random)); };
  for (int i = 1; i <= model.ModelInfo.DriverCount; ++i) model.drivers[i].value = draw();
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) model.states[i].value = draw();
  for (int i = 1; i <= model.ModelInfo.ProcessCount; ++i) model.processes[i].value = draw();
  return model;
}

// The 208 numbers of one record in column order (time first).
std::vector<double> record_numbers(const Model& model, double time) {
  std::vector<double> numbers{time};
  for (int i = 1; i <= model.ModelInfo.DriverCount; ++i) numbers.push_back(model.drivers[i].value);
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) numbers.push_back(model.states[i].value);
  for (int i = model.ModelInfo.StateCount + 1; i <= model.ModelInfo.ProcessCount; ++i) {
    numbers.push_back(model.processes[i].value);
  }
  return numbers;
}

std::string temporary_path(const char* name) {
  return "/tmp/vindrel-bench-" + std::to_string(getpid()) + "-" + name;
}

// ---- Formatting -----------------------------------------------------------------

// The record writer of a run, writing to /dev/null: formatting into the
// reusable buffer and one fwrite per record.
void BM_WriteOutputRecord(benchmark::State& state) {
  const Model model = model_with_values();
  vindrel::OutputFileWriter output;
  output.open("/dev/null", model);
  double time = 0.0;
  for (auto _ : state) {
    time += 1.0;
    output.write_record(model, time);
  }
  output.close();
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_WriteOutputRecord);

// The formatting alone: the 208 fields of one record into a buffer.
void BM_FormatOutputFields(benchmark::State& state) {
  const std::vector<double> numbers = record_numbers(model_with_values(), 365.0);
  std::array<char, kFields * 26 + 2> line{};
  for (auto _ : state) {
    char* p = vindrel::format_g15_right(line.data(), numbers[0]);
    *p++ = ' ';
    for (int k = 1; k < kFields; ++k) {
      p = vindrel::format_e13_right(p, numbers[static_cast<std::size_t>(k)]);
      *p++ = ' ';
    }
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_FormatOutputFields);

// Reference: std::to_chars of the same 208 numbers with 13 significant digits.
void BM_ToCharsReference(benchmark::State& state) {
  const std::vector<double> numbers = record_numbers(model_with_values(), 365.0);
  std::array<char, kFields * 26 + 2> line{};
  for (auto _ : state) {
    char* p = line.data();
    for (const double x : numbers) {
      p = std::to_chars(p, p + 25, x, std::chars_format::scientific, 12).ptr;
      *p++ = ' ';
    }
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_ToCharsReference);

// ---- Parsing ----------------------------------------------------------------------

// The record reader of the output display over a file of 2000 records (in the
// page cache), reopened when it reaches the end.
void BM_ReadOutputRecord(benchmark::State& state) {
  Model model = model_with_values();
  const std::string path = temporary_path("read.out");
  constexpr int kRecords = 2000;
  {
    vindrel::OutputFileWriter output;
    output.open(path, model);
    for (int n = 1; n <= kRecords; ++n) output.write_record(model, n);
    output.close();
  }
  vindrel::OutputFileReader input;
  input.open(path);
  double time = 0.0;
  for (auto _ : state) {
    if (!input.read_record(time, model)) {
      state.PauseTiming();
      input.open(path);
      state.ResumeTiming();
      input.read_record(time, model);
    }
    benchmark::DoNotOptimize(time);
  }
  input.close();
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_ReadOutputRecord);

// The token reader alone over one record's text in memory.
void BM_TokenReaderRecord(benchmark::State& state) {
  const Model model = model_with_values();
  const std::vector<double> numbers = record_numbers(model, 365.0);
  std::string line(kFields * 26 + 2, ' ');
  char* p = vindrel::format_g15_right(line.data(), numbers[0]) + 1;
  for (int k = 1; k < kFields; ++k) {
    p = vindrel::format_e13_right(p, numbers[static_cast<std::size_t>(k)]) + 1;
  }
  p[0] = '\r';
  p[1] = '\n';
  vindrel::TokenReader reader;
  for (auto _ : state) {
    reader.open_memory(line, "record");
    double sum = 0.0;
    for (int k = 0; k < kFields; ++k) sum += reader.next_number().value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_TokenReaderRecord);

// Reference: std::from_chars of the same 208 tokens, already split.
void BM_FromCharsReference(benchmark::State& state) {
  const std::vector<double> numbers = record_numbers(model_with_values(), 365.0);
  // The texts the output file holds: the time in general format, the values
  // in the 13-digit exponent form, without their padding.
  std::vector<std::string> tokens{vindrel::shortest_decimal_text(numbers[0])};
  for (std::size_t k = 1; k < numbers.size(); ++k) {
    const std::string field = vindrel::e13_right_text(numbers[k]);
    tokens.push_back(field.substr(field.find_first_not_of(' ')));
  }
  for (auto _ : state) {
    double sum = 0.0;
    for (const std::string& token : tokens) {
      double value = 0.0;
      std::from_chars(token.data(), token.data() + token.size(), value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_FromCharsReference);

// ---- The driver lookup ------------------------------------------------------------

// One lookup per daily time step through ten years of daily records.
void BM_GetDriversDaily(benchmark::State& state) {
  Model model = model_with_values();
  const std::string path = temporary_path("daily.drr");
  constexpr int kDays = 3660;
  {
    vindrel::DriverFileWriter writer;
    writer.open(path, model);
    for (int day = 1; day <= kDays; ++day) writer.write_record(day, 18, model.drivers);
    writer.close();
  }
  vindrel::DriverLookup lookup;
  lookup.open(path, model);
  double day = 1.0;
  for (auto _ : state) {
    if (day > kDays) {
      state.PauseTiming();
      lookup.rewind();
      day = 1.0;
      state.ResumeTiming();
    }
    lookup.GetDrivers(model.drivers, day, kDays);
    day += 1.0;
    benchmark::DoNotOptimize(model.drivers[1].value);
  }
  lookup.close();
  std::remove(path.c_str());
}
BENCHMARK(BM_GetDriversDaily);

}  // namespace
