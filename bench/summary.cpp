#include "bench/summary.hpp"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

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

  // The counter of a benchmark, or a negative number when it was not run.
  double get(const char* benchmark, const char* counter) const {
    const auto found = figures_.find(benchmark);
    if (found == figures_.end()) return -1.0;
    const auto value = found->second.counters.find(counter);
    return value == found->second.counters.end() ? -1.0 : value->second;
  }
  static bool have(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v > 0.0; });
  }

  void value(const char* what, double value, const char* unit) {
    std::printf("  %-56s %10.1f %s\n", what, value, unit);
  }
  // A line with a ratio and its target.
  void ratio(const std::string& what, double ratio, double target) {
    const bool met = ratio <= target;
    if (!met) ++missed_;
    std::printf("  %-56s %10.3f   target <= %.2f  %s\n", what.c_str(), ratio, target,
                met ? "met" : "MISSED");
  }
  void ratio(const std::string& what, double ratio) {
    std::printf("  %-56s %10.3f   (no target)\n", what.c_str(), ratio);
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
    Figure& figure = figures_[run.benchmark_name()];
    for (const auto& [counter, value] : run.counters) {
      const auto found = figure.counters.find(counter);
      if (found == figure.counters.end() || value.value < found->second) {
        figure.counters[counter] = value.value;
      }
    }
  }
}

int print_summary(const std::map<std::string, Figure>& figures,
                  const std::vector<PeakMemory>& peaks, bool stand_from_examples) {
  Printer p(figures);
  std::printf(
      "\nVindrel performance summary (thread CPU time; each figure is the best of many batches "
      "timed alternately with its floor)\n");
  std::printf("Example stand: %s\n",
              stand_from_examples ? "examples/vindrel-example.par and .drr"
                                  : "test stand parameters with generated weather (examples/ "
                                    "has no example stand yet)");

  const double floor = p.get(kEquations, kFloorNs);
  const double derivatives = p.get(kEquations, kComputeDerivativesNs);
  const double tables = p.get(kEquations, kEvaluateEquationsNs);
  const double prepared = p.get(kEquations, kPreparedDerivativesNs);
  const double run_floor = p.get(kEquationsOverARun, kFloorNs);
  const double run_derivatives = p.get(kEquationsOverARun, kComputeDerivativesNs);
  if (Printer::have({floor, derivatives, tables})) {
    std::printf(
        "\n1. One evaluation of the equations (the example stand's initial states, summer)\n");
    p.value("floor: the groups and derivatives on a struct of doubles", floor, "ns");
    p.value("ComputeDerivatives", derivatives, "ns");
    p.value("EvaluateEquations on the model's tables", tables, "ns");
    if (Printer::have({prepared})) {
      p.value("PreparedDerivatives (the run loop's, prepared once)", prepared, "ns");
    }
    p.ratio("ComputeDerivatives / floor", derivatives / floor, kDerivativesTarget);
    if (Printer::have({prepared})) {
      p.ratio("PreparedDerivatives / floor", prepared / floor, kDerivativesTarget);
    }
    p.ratio("EvaluateEquations / floor", tables / floor);
  }
  if (Printer::have({run_floor, run_derivatives})) {
    std::printf("   Over a sample of the inputs of the timed run's derivative evaluations\n");
    p.value("floor over a run", run_floor, "ns");
    p.value("ComputeDerivatives over a run", run_derivatives, "ns");
    p.ratio("ComputeDerivatives / floor, over a run", run_derivatives / run_floor);
  }

  const double format = p.get(kFormatting, kFormatNs);
  const double write = p.get(kFormatting, kWriteRecordNs);
  const double to_chars = p.get(kFormatting, kToCharsNs);
  const double without_ms = p.get(kRunWithoutOutput, kBestMsPerYear);
  const double with_ms = p.get(kRunWithOutput, kBestMsPerYear);
  const double without_pass_ms = p.get(kRunWithoutOutput, kBestPassMsPerYear);
  const double with_pass_ms = p.get(kRunWithOutput, kBestPassMsPerYear);
  const double evaluations = p.get(kRunWithOutput, kDerivativeEvaluationsPerYear);
  const double steps = p.get(kRunWithOutput, kStepEvaluationsPerYear);
  const double records = p.get(kRunWithOutput, kRecordsPerYear);
  // A run is compared with the floor of its own evaluations where that was
  // measured.
  const double evaluation_floor = run_floor > 0.0 ? run_floor : floor;
  if (Printer::have({evaluation_floor, format, without_ms, with_ms, evaluations, steps, records})) {
    const double floor_ms = evaluations * evaluation_floor * 1e-6;
    const double all_floor_ms = (evaluations + steps) * evaluation_floor * 1e-6;
    const double format_ms = records * format * 1e-6;
    std::printf(
        "\n2. Whole runs of the example stand (%d model years of 366 days, daily steps; a run's "
        "time\n"
        "   is the sum of every step's best time over the passes)\n",
        kRunYears);
    p.value("derivative evaluations per simulated year", evaluations, "");
    p.value("end-of-step evaluations per simulated year", steps, "");
    p.value("output records per simulated year", records, "");
    p.value("run without output, per simulated year", without_ms, "ms");
    p.value("run with output, per simulated year", with_ms, "ms");
    p.value("(best whole pass without output)", without_pass_ms, "ms");
    p.value("(best whole pass with output)", with_pass_ms, "ms");
    p.value(run_floor > 0.0 ? "floor: derivative evaluations x floor over a run"
                            : "floor: derivative evaluations x floor",
            floor_ms, "ms");
    p.value("floor: all evaluations x floor", all_floor_ms, "ms");
    p.value("formatting: records x record formatting", format_ms, "ms");
    p.ratio("without output / (derivative evaluations x floor)", without_ms / floor_ms, kRunTarget);
    p.ratio("with output / (derivative evaluations x floor + fmt)",
            with_ms / (floor_ms + format_ms), kRunTarget);
    p.ratio("with output / (all evaluations x floor + fmt)", with_ms / (all_floor_ms + format_ms));
  }

  if (Printer::have({format, write, to_chars})) {
    std::printf("\n3. Files, per record (an output record has 208 fields, a driver record 19)\n");
    p.value("output record formatting (the format routines)", format, "ns");
    p.value("WriteOutputRecord into /dev/null", write, "ns");
    p.value("std::to_chars, same numbers and digits", to_chars, "ns");
    p.ratio("record formatting / std::to_chars", format / to_chars, kFormatTarget);
    p.ratio("WriteOutputRecord / std::to_chars", write / to_chars, kFormatTarget);
  }
  const auto parsing = [&p](const char* what, const char* benchmark) {
    const double read = p.get(benchmark, kReadNs);
    const double floor_read = p.get(benchmark, kFromCharsNs);
    if (!Printer::have({read, floor_read})) return;
    p.value((std::string(what) + " reading").c_str(), read, "ns");
    p.value("std::from_chars over the same text", floor_read, "ns");
    p.ratio(std::string(what) + " reading / std::from_chars", read / floor_read, kParseTarget);
  };
  parsing("output file", kOutputParsing);
  parsing("driver file", kDriverParsing);

  if (peaks.size() == 2) {
    std::printf("\n4. Peak memory of whole runs (VmHWM of a fresh process, a record every day%s)\n",
                stand_from_examples ? "" : ", every state reset yearly");
    for (const PeakMemory& peak : peaks) {
      char what[96];
      std::snprintf(what, sizeof what, "%d-year run (%.1f s, %.0f MB of output)", peak.years,
                    peak.seconds, static_cast<double>(peak.output_bytes) / 1e6);
      if (peak.failure.empty()) {
        p.value(what, static_cast<double>(peak.peak_kilobytes), "kB");
      } else {
        std::printf("  %-56s %s\n", what, peak.failure.c_str());
      }
    }
    if (peaks[0].failure.empty() && peaks[1].failure.empty()) {
      p.ratio("peak of " + std::to_string(peaks[1].years) + " years / peak of " +
                  std::to_string(peaks[0].years) + " years",
              static_cast<double>(peaks[1].peak_kilobytes) /
                  static_cast<double>(peaks[0].peak_kilobytes),
              kMemoryTarget);
    }
  }
  std::printf("\n%d target(s) missed\n", p.missed());
  return p.missed();
}

}  // namespace vindrel::bench
