#include "bench/summary.hpp"

#include <cstdio>

#include "bench/bench_names.hpp"

namespace vindrel::bench {
namespace {

// Targets: each figure divided by its floor must not exceed these.
constexpr double kDerivativesTarget = 1.3;  // ComputeDerivatives / floor
constexpr double kRunTarget = 1.25;         // whole run / (evaluations x floor + formatting)
constexpr double kFormatTarget = 2.0;       // record formatting / std::to_chars
constexpr double kParseTarget = 2.0;        // record parsing / std::from_chars
constexpr double kMemoryTarget = 1.10;      // peak of the long run / peak of the short run

class Printer {
 public:
  explicit Printer(const std::map<std::string, Figure>& figures) : figures_(figures) {}

  const Figure* find(const char* name) const {
    const auto found = figures_.find(name);
    return found == figures_.end() ? nullptr : &found->second;
  }
  double ns(const char* name) const { return find(name)->cpu_seconds * 1e9; }
  bool have(std::initializer_list<const char*> names) const {
    for (const char* name : names) {
      if (find(name) == nullptr) return false;
    }
    return true;
  }

  // A line with a ratio and its target.
  void ratio(const char* what, double ratio, double target) {
    const bool met = ratio <= target;
    if (!met) ++missed_;
    std::printf("  %-52s %6.3f   target <= %.2f  %s\n", what, ratio, target,
                met ? "met" : "MISSED");
  }
  int missed() const { return missed_; }

 private:
  const std::map<std::string, Figure>& figures_;
  int missed_ = 0;
};

}  // namespace

void SummaryReporter::ReportRuns(const std::vector<Run>& reports) {
  ConsoleReporter::ReportRuns(reports);
  for (const Run& run : reports) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
    const double seconds =
        run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const std::string name = run.benchmark_name();
    const auto found = figures_.find(name);
    if (found != figures_.end() && found->second.cpu_seconds <= seconds) continue;
    Figure figure;
    figure.cpu_seconds = seconds;
    for (const auto& [counter, value] : run.counters) figure.counters[counter] = value.value;
    figures_[name] = figure;
  }
}

int print_summary(const std::map<std::string, Figure>& figures,
                  const std::vector<PeakMemory>& peaks, bool stand_from_examples) {
  Printer p(figures);
  std::printf("\nVindrel performance summary (CPU time per operation, best repetition)\n");
  std::printf("Example stand: %s\n",
              stand_from_examples ? "examples/vindrel-example.par and .drr"
                                  : "test stand parameters with generated weather (examples/ "
                                    "has no example stand yet)");

  const bool equations = p.have({kEquationsFloor, kComputeDerivatives});
  if (equations) {
    const double floor = p.ns(kEquationsFloor);
    std::printf("\n1. One evaluation of the equations\n");
    std::printf("  %-52s %9.1f ns\n", "floor: groups and derivatives on a struct of doubles",
                floor);
    std::printf("  %-52s %9.1f ns\n", "ComputeDerivatives", p.ns(kComputeDerivatives));
    if (p.have({kEvaluateEquations})) {
      std::printf("  %-52s %9.1f ns\n", "EvaluateEquations on the model's tables",
                  p.ns(kEvaluateEquations));
    }
    p.ratio("ComputeDerivatives / floor", p.ns(kComputeDerivatives) / floor, kDerivativesTarget);
    if (p.have({kEvaluateEquations})) {
      std::printf("  %-52s %6.3f   (no target)\n", "EvaluateEquations / floor",
                  p.ns(kEvaluateEquations) / floor);
    }
  }

  if (equations && p.have({kRunWithoutOutput, kRunWithOutput, kFormatRecord})) {
    const double floor = p.ns(kEquationsFloor);
    const Figure& without = *p.find(kRunWithoutOutput);
    const Figure& with = *p.find(kRunWithOutput);
    const double derivatives = with.counters.at(kDerivativeEvaluationsPerYear);
    const double steps = with.counters.at(kStepEvaluationsPerYear);
    const double records = with.counters.at(kRecordsPerYear);
    const double format_ms = records * p.ns(kFormatRecord) * 1e-6;
    const double floor_ms = derivatives * floor * 1e-6;
    const double all_floor_ms = (derivatives + steps) * floor * 1e-6;
    const double without_ms = without.cpu_seconds * 1e3 / kRunYears;
    const double with_ms = with.cpu_seconds * 1e3 / kRunYears;
    std::printf("\n2. Whole runs of the example stand (%d model years of 366 days, daily steps)\n",
                kRunYears);
    std::printf("  %-52s %9.0f\n", "derivative evaluations per simulated year", derivatives);
    std::printf("  %-52s %9.0f\n", "end-of-step evaluations per simulated year", steps);
    std::printf("  %-52s %9.0f\n", "output records per simulated year", records);
    std::printf("  %-52s %9.2f ms\n", "run without output, per simulated year", without_ms);
    std::printf("  %-52s %9.2f ms\n", "run with output, per simulated year", with_ms);
    std::printf("  %-52s %9.2f ms\n", "floor: derivative evaluations x floor", floor_ms);
    std::printf("  %-52s %9.2f ms\n", "floor: all evaluations x floor", all_floor_ms);
    std::printf("  %-52s %9.2f ms\n", "formatting: records x record formatting", format_ms);
    p.ratio("without output / (derivative evaluations x floor)", without_ms / floor_ms, kRunTarget);
    p.ratio("with output / (derivative evaluations x floor + fmt)",
            with_ms / (floor_ms + format_ms), kRunTarget);
    std::printf("  %-52s %6.3f   (no target)\n", "with output / (all evaluations x floor + fmt)",
                with_ms / (all_floor_ms + format_ms));
  }

  if (p.have({kFormatRecord, kToCharsRecord})) {
    std::printf("\n3. Files (per record of %s)\n", "208 output fields or 19 driver fields");
    std::printf("  %-52s %9.0f ns\n", "output record formatting (format routines)",
                p.ns(kFormatRecord));
    if (p.have({kWriteRecord})) {
      std::printf("  %-52s %9.0f ns\n", "WriteOutputRecord into /dev/null", p.ns(kWriteRecord));
    }
    std::printf("  %-52s %9.0f ns\n", "std::to_chars, same numbers and digits",
                p.ns(kToCharsRecord));
    p.ratio("record formatting / std::to_chars", p.ns(kFormatRecord) / p.ns(kToCharsRecord),
            kFormatTarget);
    if (p.have({kWriteRecord})) {
      p.ratio("WriteOutputRecord / std::to_chars", p.ns(kWriteRecord) / p.ns(kToCharsRecord),
              kFormatTarget);
    }
  }
  const auto parsing = [&p](const char* what, const char* reader, const char* floor) {
    if (!p.have({reader, floor})) return;
    const Figure& read = *p.find(reader);
    const double per_pass =
        read.counters.count("records_per_pass") != 0 ? read.counters.at("records_per_pass") : 1.0;
    std::printf("  %-52s %9.0f ns\n", (std::string(what) + ", per record").c_str(),
                p.ns(reader) / per_pass);
    std::printf("  %-52s %9.0f ns\n", "std::from_chars over the same text, per record",
                p.ns(floor) / per_pass);
    p.ratio((std::string(what) + " / std::from_chars").c_str(), p.ns(reader) / p.ns(floor),
            kParseTarget);
  };
  parsing("output file reading", kReadOutputRecord, kFromCharsOutputRecord);
  parsing("driver file reading", kReadDriverRecord, kFromCharsDriverRecord);

  if (peaks.size() == 2) {
    std::printf(
        "\n4. Peak memory of whole runs (ru_maxrss of a fresh process, record every day%s)\n",
        stand_from_examples ? "" : ", every state reset yearly");
    for (const PeakMemory& peak : peaks) {
      char what[96];
      std::snprintf(what, sizeof what, "%d-year run (%.1f s, %.0f MB of output)", peak.years,
                    peak.seconds, static_cast<double>(peak.output_bytes) / 1e6);
      if (peak.failure.empty()) {
        std::printf("  %-52s %9ld kB\n", what, peak.peak_kilobytes);
      } else {
        std::printf("  %-52s %s\n", what, peak.failure.c_str());
      }
    }
    if (peaks[0].failure.empty() && peaks[1].failure.empty()) {
      char what[96];
      std::snprintf(what, sizeof what, "peak of %d years / peak of %d years", peaks[1].years,
                    peaks[0].years);
      p.ratio(what,
              static_cast<double>(peaks[1].peak_kilobytes) /
                  static_cast<double>(peaks[0].peak_kilobytes),
              kMemoryTarget);
    }
  }
  std::printf("\n%d target(s) missed\n", p.missed());
  return p.missed();
}

}  // namespace vindrel::bench
