#include "bench/peak_memory.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/bench_data.hpp"
#include "core/model_constants.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

constexpr double kDaysPerYear = kModelYearDays;

PeakMemory run_child(const char* program, const std::string& par, const std::string& drr, int years,
                     bool yearly_reset, const std::string& extension = ".out") {
  PeakMemory result;
  result.years = years;
  const std::string out = scratch_file("peak-" + std::to_string(years) + "y" + extension);
  const std::string years_text = std::to_string(years);
  // The child reports its peak on a pipe: ru_maxrss would also count the
  // memory of this process, which the child holds between fork and exec.
  int report[2];
  if (pipe(report) != 0) {
    result.failure = "pipe failed";
    return result;
  }
  std::fflush(nullptr);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    result.failure = "fork failed";
    return result;
  }
  if (child == 0) {
    dup2(report[1], STDOUT_FILENO);
    close(report[0]);
    close(report[1]);
    const char* arguments[] = {program,
                               kPeakMemoryRunArgument,
                               par.c_str(),
                               drr.c_str(),
                               out.c_str(),
                               years_text.c_str(),
                               yearly_reset ? kYearlyResetArgument : nullptr,
                               nullptr};
    execv("/proc/self/exe", const_cast<char* const*>(arguments));
    _exit(127);
  }
  close(report[1]);
  std::string text;
  char buffer[256];
  for (ssize_t count; (count = read(report[0], buffer, sizeof buffer)) != 0;) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) break;
    text.append(buffer, static_cast<std::size_t>(count));
  }
  close(report[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child) {
    result.failure = "waitpid failed";
    return result;
  }
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.peak_kilobytes = std::atol(text.c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.failure = "the run failed (exit status " +
                     std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
  } else if (result.peak_kilobytes <= 0) {
    result.failure = "no peak reported";
  }
  std::error_code ignored;
  result.output_bytes = static_cast<long long>(std::filesystem::file_size(out, ignored));
  std::filesystem::remove(out, ignored);
  return result;
}

// The peak resident set size of this process (VmHWM), in kB; 0 if unknown.
long peak_resident_kilobytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kilobytes = std::atol(line + 6);
  }
  std::fclose(status);
  return kilobytes;
}

}  // namespace

int peak_memory_run(int argc, char** argv) {
  const bool yearly_reset = argc == 7 && std::strcmp(argv[6], kYearlyResetArgument) == 0;
  if (argc != 6 && !yearly_reset) {
    std::fprintf(stderr, "usage: %s %s PARFILE DRIVERFILE OUTFILE YEARS [%s]\n", argv[0],
                 kPeakMemoryRunArgument, kYearlyResetArgument);
    return 2;
  }
  try {
    Model model = make_model();
    if (!ReadParamFile(argv[2], model)) {
      std::fprintf(stderr, "%s: %s\n", argv[2], std::string(kIncompatibleParamFileMessage).c_str());
      return 1;
    }
    RunSettings settings;
    settings.start_time = 1.0;
    settings.stop_time = 1.0 + std::atoi(argv[5]) * kDaysPerYear;
    settings.time_step = 1.0;
    settings.output_step = 1.0;
    settings.batch_mode = true;
    settings.driver_file = argv[3];
    settings.output_file = argv[4];
    if (yearly_reset) {
      settings.reset_states = true;
      settings.reset_interval = static_cast<std::int32_t>(kDaysPerYear);
      for (int i = 1; i <= model.ModelInfo.StateCount; ++i) model.states[i].Reset = true;
    }
    // An output named .nc is the NetCDF file of every column.
    std::unique_ptr<RecordSink> sink;
    if (output_format_of_file_name(settings.output_file) == OutputFormat::kNetcdf) {
      sink = std::make_unique<TableFileSink>(settings.output_file,
                                             make_table_writer(OutputFormat::kNetcdf),
                                             std::vector<std::size_t>{});
    } else {
      sink = std::make_unique<OutputFileSink>(settings.output_file);
    }
    if (Run(model, settings, *sink).outcome != RunOutcome::kCompleted) return 1;
    const long peak = peak_resident_kilobytes();
    std::printf("%ld\n", peak);
    return peak > 0 ? 0 : 1;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
}

PeakMemory measure_output_peak_memory(const char* program, int years,
                                      const std::string& extension) {
  const std::string drr = synthetic_driver_file(years);
  return run_child(program, example_stand().parameter_file, drr, years,
                   !example_stand().from_examples, extension);
}

std::vector<PeakMemory> measure_peak_memory(const char* program, const std::vector<int>& years) {
  const int longest = *std::max_element(years.begin(), years.end());
  const std::string drr = synthetic_driver_file(longest);
  const std::string& par = example_stand().parameter_file;
  std::vector<PeakMemory> results;
  // A stand made here is not calibrated for centuries: every year starts again
  // from its initial states, which keeps the run's work and files the same.
  const bool yearly_reset = !example_stand().from_examples;
  for (const int length : years) {
    results.push_back(run_child(program, par, drr, length, yearly_reset));
  }
  return results;
}

}  // namespace vindrel::bench
