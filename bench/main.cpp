// The benchmark program: the benchmarks of every file in bench/, then the peak
// memory of a short and a long run, then a summary of the figures beside their
// floors and targets.
//
//   vindrel_bench [benchmark options] [--no-peak-memory]
//   vindrel_bench --peak-memory-run PARFILE DRIVERFILE OUTFILE YEARS   (child mode)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "bench/bench_data.hpp"
#include "bench/peak_memory.hpp"
#include "bench/summary.hpp"

int main(int argc, char** argv) {
  using namespace vindrel::bench;
  if (argc > 1 && std::strcmp(argv[1], kPeakMemoryRunArgument) == 0) {
    return peak_memory_run(argc, argv);
  }
  bool peak_memory = true;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-peak-memory") == 0) {
      peak_memory = false;
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  SummaryReporter reporter(isatty(STDOUT_FILENO) == 1 ? benchmark::ConsoleReporter::OO_Defaults
                                                      : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::vector<PeakMemory> peaks;
  if (peak_memory) peaks = measure_peak_memory(argv[0], {3, 300});
  const int missed = print_summary(reporter.figures(), peaks, example_stand().from_examples);
  benchmark::Shutdown();
  return missed == 0 ? 0 : 3;
}
