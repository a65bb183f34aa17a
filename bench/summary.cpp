#include "bench/summary.hpp"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "bench/bench_names.hpp"
#include "bench/integrator_comparison.hpp"
#include "core/model.hpp"
#include "core/model_constants.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

// Targets of the embedded pairs against rk4 on the 30-year run, held by the
// pair recommended to users: its evaluations and time as fractions of rk4's,
// and its states' largest relative difference from its reference and from
// rk4. The other pair's figures are shown beside them without targets (rkf78
// is a little faster but its error estimate does not see the running totals'
// errors, and it misses the accuracy).
constexpr const char* kRecommendedPair = "dopri5";
constexpr double kPairEvaluationsTarget = 1.0 / 3.5;
constexpr double kPairTimeTarget = 1.0 / 3.0;
constexpr double kPairStateTarget = 1e-6;

// Targets: each figure divided by its floor must not exceed these.
constexpr double kDerivativesTarget = 1.3;  // ComputeDerivatives / floor
constexpr double kRunTarget = 1.25;         // whole run / (evaluations x floor + formatting)
constexpr double kDopri5RunTarget = 1.3;    // the same for a dopri5 run without output
constexpr double kFormatTarget = 1.3;       // record formatting / std::to_chars
constexpr double kWriteTarget = 2.0;        // WriteOutputRecord / std::to_chars
constexpr double kParseTarget = 2.0;        // record parsing / std::from_chars
// Growth of the peak from the short run to the long one / the driver records
// the long run keeps beyond the short one's: a run keeps the records it reaches
// in memory, and nothing else may grow with its length.
constexpr double kMemoryTarget = 1.10;

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

// The integrators on the example stand's 30-year run: every pair's figures,
// and their ratios to rk4's, the targets held by the recommended pair.
void print_integrators(Printer& p) {
  const double rk4_evaluations = p.get(kIntegratorSpeed, "rk4_evaluations_per_year");
  const double rk4_seconds = p.get(kIntegratorSpeed, "rk4_s");
  const double rk4_with_output = p.get(kIntegratorSpeed, "rk4_s_with_output");
  if (!Printer::have({rk4_evaluations, rk4_seconds, rk4_with_output})) return;
  const auto get = [&p](const char* benchmark, const std::string& pair, const char* suffix) {
    return p.get(benchmark, (pair + suffix).c_str());
  };
  const double rtol = RunSettings{}.relative_tolerance;
  std::printf(
      "\n5. Integrators on the example stand's %d-year run (daily steps; the pairs at their "
      "default rtol %.0e, references at %.0e)\n",
      kComparisonYears, rtol, rtol / 100.0);
  for (const char* pair : {"rk4", "dopri5", "rkf78"}) {
    const double evaluations = get(kIntegratorSpeed, pair, kEvaluationsPerYearSuffix);
    const double seconds = get(kIntegratorSpeed, pair, kSecondsSuffix);
    const double with_output = get(kIntegratorSpeed, pair, kSecondsWithOutputSuffix);
    if (!Printer::have({evaluations, seconds, with_output})) continue;
    std::printf(
        "  %-8s derivative evaluations per year %8.0f   run %6.3f s   with output %6.3f s "
        "(output %.0f%%)\n",
        pair, evaluations, seconds, with_output, 100.0 * (with_output - seconds) / with_output);
  }
  for (const char* pair : {"dopri5", "rkf78"}) {
    const double reference = get(kIntegratorAccuracy, pair, kVersusReferenceSuffix);
    const double rk4 = get(kIntegratorAccuracy, pair, kVersusDefaultSuffix);
    const double rk4_reference = get(kIntegratorAccuracy, pair, kDefaultVersusReferenceSuffix);
    const double digits = get(kIntegratorAccuracy, pair, kSummaryDigitsSuffix);
    const double flips = get(kIntegratorAccuracy, pair, kDayFlipsSuffix);
    if (!Printer::have({reference, rk4, rk4_reference})) continue;
    std::printf(
        "  %-8s year-end states: from its reference %.2e, from rk4 %.2e (rk4 from the "
        "reference %.2e);\n           summary from rk4 %.4f half units of the 4th digit, "
        "%.0f day figure(s) differ\n",
        pair, reference, rk4, rk4_reference, digits, flips);
  }
  std::printf("%s", integrator_comparison_notes().c_str());
  if (!integrator_tolerance_table().empty()) {
    std::printf("  Tolerances tried (year-end states against a reference 100 times tighter):\n%s",
                integrator_tolerance_table().c_str());
  }
  for (const char* pair : {"dopri5", "rkf78"}) {
    const bool held = std::string(pair) == kRecommendedPair;
    const auto ratio = [&p, held](const std::string& what, double value, double target) {
      if (held) {
        p.ratio(what, value, target);
      } else {
        p.ratio(what, value);
      }
    };
    const double evaluations = get(kIntegratorSpeed, pair, kEvaluationsPerYearSuffix);
    const double seconds = get(kIntegratorSpeed, pair, kSecondsSuffix);
    const double with_output = get(kIntegratorSpeed, pair, kSecondsWithOutputSuffix);
    if (!Printer::have({evaluations, seconds, with_output})) continue;
    ratio(std::string(pair) + " / rk4 derivative evaluations", evaluations / rk4_evaluations,
          kPairEvaluationsTarget);
    ratio(std::string(pair) + " / rk4 time", seconds / rk4_seconds, kPairTimeTarget);
    p.ratio(std::string(pair) + " / rk4 time with output", with_output / rk4_with_output);
    p.ratio(std::string(pair) + ": share of the output in the run with output",
            (with_output - seconds) / with_output);
    const double reference = get(kIntegratorAccuracy, pair, kVersusReferenceSuffix);
    const double rk4 = get(kIntegratorAccuracy, pair, kVersusDefaultSuffix);
    const double digits = get(kIntegratorAccuracy, pair, kSummaryDigitsSuffix);
    // Zero is a perfect agreement, which `have` would take for a missing figure.
    if (reference < 0.0 || rk4 < 0.0 || digits < 0.0) continue;
    ratio(std::string(pair) + " states from its reference / 1e-6", reference / kPairStateTarget,
          1.0);
    ratio(std::string(pair) + " states from rk4 / 1e-6", rk4 / kPairStateTarget, 1.0);
    ratio(std::string(pair) + " summary from rk4 (half units, 4th digit)", digits, 1.0);
  }
}

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
    const double dopri5_run_floor = p.get(kEquationsOverADopri5Run, kFloorNs);
    const double dopri5_prepared = p.get(kEquationsOverADopri5Run, kPreparedDerivativesNs);
    if (Printer::have({dopri5_run_floor, dopri5_prepared})) {
      p.ratio("PreparedDerivatives / floor, over the dopri5 run",
              dopri5_prepared / dopri5_run_floor);
    }
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
        "   is the sum of every step's best time over the passes, less the benchmark's own\n"
        "   reading of the clock at each step, with its driver records read before them, as\n"
        "   a study's runs share them)\n",
        kRunYears);
    p.value("derivative evaluations per simulated year", evaluations, "");
    p.value("end-of-step evaluations per simulated year", steps, "");
    p.value("output records per simulated year", records, "");
    p.value("run without output, per simulated year", without_ms, "ms");
    p.value("run with output, per simulated year", with_ms, "ms");
    p.value("(best whole pass without output)", without_pass_ms, "ms");
    p.value("(best whole pass with output)", with_pass_ms, "ms");
    p.value("reading the run's driver records, per simulated year",
            p.get(kRunWithoutOutput, kDriverRecordsMsPerYear), "ms");
    p.value("(a reading of the clock, taken off every step)",
            p.get(kRunWithoutOutput, kClockReadNs), "ns");
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

  // The same runs with dopri5: their evaluations are compared with the floor
  // over the dopri5 run's own inputs.
  const double dopri5_floor = p.get(kEquationsOverADopri5Run, kFloorNs) > 0.0
                                  ? p.get(kEquationsOverADopri5Run, kFloorNs)
                                  : evaluation_floor;
  const double dopri5_without = p.get(kRunWithoutOutputDopri5, kBestMsPerYear);
  const double dopri5_with = p.get(kRunWithOutputDopri5, kBestMsPerYear);
  const double dopri5_evaluations = p.get(kRunWithOutputDopri5, kDerivativeEvaluationsPerYear);
  const double dopri5_records = p.get(kRunWithOutputDopri5, kRecordsPerYear);
  const double dopri5_steps = p.get(kRunWithOutputDopri5, kStepEvaluationsPerYear);
  if (Printer::have({dopri5_floor, format, dopri5_without, dopri5_with, dopri5_evaluations,
                     dopri5_records})) {
    const double floor_ms = dopri5_evaluations * dopri5_floor * 1e-6;
    const double format_ms = dopri5_records * format * 1e-6;
    std::printf("   The same runs with dopri5 at its default tolerance\n");
    p.value("floor over the dopri5 run's evaluations", dopri5_floor, "ns");
    p.value("derivative evaluations per simulated year", dopri5_evaluations, "");
    p.value("end-of-step evaluations per simulated year", dopri5_steps, "");
    p.value("run without output, per simulated year", dopri5_without, "ms");
    p.value("run with output, per simulated year", dopri5_with, "ms");
    p.value("(best whole pass without output)", p.get(kRunWithoutOutputDopri5, kBestPassMsPerYear),
            "ms");
    const double reading_ms = p.get(kRunWithoutOutputDopri5, kDriverRecordsMsPerYear);
    p.value("reading the run's driver records, per simulated year", reading_ms, "ms");
    p.value("floor: derivative evaluations x floor", floor_ms, "ms");
    p.value("formatting: records x record formatting", format_ms, "ms");
    p.ratio("dopri5 without output / (derivative evaluations x floor)", dopri5_without / floor_ms,
            kDopri5RunTarget);
    p.ratio("dopri5 without output / (all evaluations x floor)",
            dopri5_without / ((dopri5_evaluations + dopri5_steps) * dopri5_floor * 1e-6));
    p.ratio("the same with reading its driver records", (dopri5_without + reading_ms) / floor_ms);
    p.ratio("dopri5 with output / (derivative evaluations x floor + fmt)",
            dopri5_with / (floor_ms + format_ms));
    p.ratio("dopri5: share of the output in a run with output",
            (dopri5_with - dopri5_without) / dopri5_with);
  }

  if (Printer::have({format, write, to_chars})) {
    std::printf("\n3. Files, per record (an output record has 208 fields, a driver record 19)\n");
    p.value("output record formatting (the format routines)", format, "ns");
    p.value("WriteOutputRecord into /dev/null", write, "ns");
    p.value("std::to_chars, same numbers and digits", to_chars, "ns");
    p.ratio("record formatting / std::to_chars", format / to_chars, kFormatTarget);
    p.ratio("WriteOutputRecord / std::to_chars", write / to_chars, kWriteTarget);
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
      // A record a day of the time and the drivers' values.
      const double record_bytes = (1.0 + make_model().ModelInfo.DriverCount) * sizeof(double);
      const double kept_kilobytes =
          (peaks[1].years - peaks[0].years) * kModelYearDays * record_bytes / 1024.0;
      p.value("driver records kept beyond the short run's", kept_kilobytes, "kB");
      p.ratio(
          "peak growth / driver records kept",
          static_cast<double>(peaks[1].peak_kilobytes - peaks[0].peak_kilobytes) / kept_kilobytes,
          kMemoryTarget);
      p.ratio("peak of " + std::to_string(peaks[1].years) + " years / peak of " +
                  std::to_string(peaks[0].years) + " years",
              static_cast<double>(peaks[1].peak_kilobytes) /
                  static_cast<double>(peaks[0].peak_kilobytes));
    }
  }
  print_integrators(p);
  std::printf("\n%d target(s) missed\n", p.missed());
  return p.missed();
}

}  // namespace vindrel::bench
