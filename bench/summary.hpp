// The summary that the benchmark program prints after the benchmarks: every
// figure beside its floor, as a ratio, and the target it is held to.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "bench/peak_memory.hpp"

namespace vindrel::bench {

// One benchmark's counters, each the smallest over its repetitions (the
// counters that the summary reads are best times and counts).
struct Figure {
  std::map<std::string, double> counters;
};

// Shows the runs as the console reporter does and keeps the counters of each
// benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;
  void ReportRuns(const std::vector<Run>& reports) override;
  const std::map<std::string, Figure>& figures() const { return figures_; }

 private:
  std::map<std::string, Figure> figures_;
};

// Prints the summary of the figures measured and the peak memory of the runs
// (left out when `peaks` is empty). Returns the number of targets missed.
int print_summary(const std::map<std::string, Figure>& figures,
                  const std::vector<PeakMemory>& peaks, bool stand_from_examples);

}  // namespace vindrel::bench
