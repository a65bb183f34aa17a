// The sizes of the NetCDF output against the model's .out file, and the memory
// that writing it takes:
//
//   one record     the example stand's first day, every column, and LAI and NEP
//                  alone
//   1000 years     a record at the end of every model year (1000 records) of
//                  the example stand on its 30 years of weather repeated, with
//                  dopri5
//   peak memory    a daily run of 3 and of 30 years (1098 and 10,979 records)
//                  into the .out file and into the NetCDF file of every column,
//                  each in a process of its own
//
// The figures are counters (bytes, shares of the .out file, kB); the time of
// one pass covers the runs that write the files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.hpp"
#include "bench/peak_memory.hpp"
#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "fileio/formats/output_format.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

// The example's weather: 30 model years.
constexpr std::int32_t kWeatherDays = 30 * kModelYearDays;

double file_bytes(const std::string& name) {
  return static_cast<double>(std::filesystem::file_size(name));
}

// Runs the example stand into `sink`; false when the run did not complete.
bool run_into(RecordSink& sink, const RunSettings& settings) {
  return Run(example_model(), settings, sink).outcome == RunOutcome::kCompleted;
}

std::unique_ptr<RecordSink> sink_for(const std::string& file_name,
                                     std::vector<std::size_t> columns = {}) {
  if (output_format_of_file_name(file_name) == OutputFormat::kOut) {
    return std::make_unique<OutputFileSink>(file_name);
  }
  return std::make_unique<TableFileSink>(file_name, make_table_writer(OutputFormat::kNetcdf),
                                         std::move(columns));
}

void BM_NetcdfSizes(benchmark::State& state) {
  if (!netcdf_available()) {
    state.SkipWithError("built without NetCDF");
    return;
  }
  RunSettings day;
  day.start_time = 1.0;
  day.stop_time = 2.0;
  day.batch_mode = true;
  day.driver_file = example_stand().driver_file;
  RunSettings years = day;
  years.start_time = 0.0;
  years.stop_time = 1000.0 * kModelYearDays;
  years.output_step = kModelYearDays;
  years.integrator = IntegratorKind::kDopri5;
  years.repeat_drivers = true;
  years.repeat_time = kWeatherDays;
  years.driver_file = synthetic_driver_file(30);
  if (example_stand().from_examples) years.driver_file = example_stand().driver_file;
  const std::vector<std::size_t> lai_nep{static_cast<std::size_t>(driver::kCount + process::LAI),
                                         static_cast<std::size_t>(driver::kCount + process::NEP)};
  const std::string one_out = scratch_file("one.out");
  const std::string one_nc = scratch_file("one.nc");
  const std::string one_lai = scratch_file("one-lai.nc");
  const std::string annual_out = scratch_file("annual.out");
  const std::string annual_nc = scratch_file("annual.nc");
  for (auto _ : state) {
    bool completed = run_into(*sink_for(one_out), day);
    completed = completed && run_into(*sink_for(one_nc), day);
    completed = completed && run_into(*sink_for(one_lai, lai_nep), day);
    completed = completed && run_into(*sink_for(annual_out), years);
    completed = completed && run_into(*sink_for(annual_nc), years);
    if (!completed) {
      state.SkipWithError("a run did not complete");
      return;
    }
  }
  state.counters["one_record_out_bytes"] = file_bytes(one_out);
  state.counters["one_record_nc_bytes"] = file_bytes(one_nc);
  state.counters["one_record_nc_LAI_NEP_bytes"] = file_bytes(one_lai);
  state.counters["annual_1000y_out_bytes"] = file_bytes(annual_out);
  state.counters["annual_1000y_nc_bytes"] = file_bytes(annual_nc);
  state.counters["annual_1000y_nc_share_of_out"] = file_bytes(annual_nc) / file_bytes(annual_out);
}
BENCHMARK(BM_NetcdfSizes)->Name("output/netcdf_sizes")->Iterations(1)->Unit(benchmark::kSecond);

void BM_NetcdfPeakMemory(benchmark::State& state) {
  if (!netcdf_available()) {
    state.SkipWithError("built without NetCDF");
    return;
  }
  std::vector<PeakMemory> peaks;
  for (auto _ : state) {
    peaks.clear();
    for (const int years : {3, 30}) {
      for (const char* extension : {".out", ".nc"}) {
        peaks.push_back(measure_output_peak_memory("/proc/self/exe", years, extension));
        if (!peaks.back().failure.empty()) {
          state.SkipWithError(peaks.back().failure.c_str());
          return;
        }
      }
    }
  }
  state.counters["peak_kB_out_3y"] = static_cast<double>(peaks[0].peak_kilobytes);
  state.counters["peak_kB_nc_3y"] = static_cast<double>(peaks[1].peak_kilobytes);
  state.counters["peak_kB_out_30y"] = static_cast<double>(peaks[2].peak_kilobytes);
  state.counters["peak_kB_nc_30y"] = static_cast<double>(peaks[3].peak_kilobytes);
  state.counters["nc_30y_share_of_out"] =
      static_cast<double>(peaks[3].output_bytes) / static_cast<double>(peaks[2].output_bytes);
}
BENCHMARK(BM_NetcdfPeakMemory)
    ->Name("output/netcdf_peak_memory")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vindrel::bench
