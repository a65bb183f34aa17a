// The metrics of a study: what each run is reduced to, one number per metric.
//
// A metric is given as NAME=VARIABLE:REDUCTION[:years=A-B], for example
//   nep=NEP:mean:years=21-30     the mean yearly NEP of model years 21 to 30
//   lai=process:LAI:max          the largest leaf area index of the run
//   cf=Cf:last                   foliar carbon at the run's last record
//
// VARIABLE is one of
//   - an annual summary figure, by the summary's column heading (GPP, NPP,
//     NEP, Rsoil, ET, ..., TotC, TotN, and the wide columns Rplant, ...,
//     SoilN), or qualified as summary:HEADING. Its values are the figures of
//     the model years that the run covers completely (as the summary's mean
//     row takes them), one value per year.
//   - an output variable: a column of the output record (drivers, states and
//     the processes after the derivatives), named as every command names one
//     (fileio/output_columns.hpp): by symbol when exactly one column has it,
//     qualified by its table (driver:Ts, state:Cf, process:LAI), by its
//     1-based position in the table (driver#4, state#1, process#77) or by its
//     name in the output file's header. Its values are the records of the run,
//     one per output step.
// A heading of the summary wins over an output variable of the same symbol
// (NEP, NPP, ET, LAI): write process:NEP for the daily records.
//
// REDUCTION is last, mean, min, max or integral. The integral of an output
// variable is its time integral by rectangles ending at each record: the sum
// of value x (time - previous record's time), the first record's interval
// starting at the run's start time (the sum of a daily flux in units per day
// over daily records). The integral of a summary figure is the sum of its
// yearly values.
//
// years=A-B (or years=A) keeps the records, or the complete years, of model
// years A to B; year k holds the times 366 (k - 1) < t <= 366 k.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"
#include "run/record_sink.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::study {

enum class Reduction { kLast, kMean, kMin, kMax, kIntegral };

// Where a metric's values come from.
enum class MetricTable { kDriver, kState, kProcess, kSummary, kSummaryWide };

struct Metric {
  std::string name;        // the results file's column
  std::string expression;  // the text after "="
  MetricTable table = MetricTable::kSummary;
  // 1-based entry of the driver, state or process table; for the summary, the
  // index into summary_values() or summary_wide_values().
  std::size_t position = 0;
  Reduction reduction = Reduction::kMean;
  std::int64_t first_year = 0;  // 0: from the first record or year
  std::int64_t last_year = 0;   // 0: to the last
};

// Parses one NAME=EXPRESSION. Throws std::invalid_argument with a message
// that quotes the text and says what was expected.
Metric parse_metric(std::string_view text, const Model& model);

// Parses every metric and checks that the names differ from each other and
// from `reserved` (the results file's other columns), and that each window of
// years lies within the model years of the run from start_time to stop_time.
std::vector<Metric> parse_metrics(const std::vector<std::string>& texts, const Model& model,
                                  const std::vector<std::string>& reserved, double start_time,
                                  double stop_time);

// Refuses, with std::invalid_argument, a metric of the annual summary for
// which a run with these settings completes no model year in its window (a
// run that ends before its first year's end, or records too sparse for the
// years' sums): every run would end with no value for it.
void check_metric_years(const std::vector<Metric>& metrics, double start_time, double stop_time,
                        double time_step, double output_step);

// The model year of a time: year k holds 366 (k - 1) < t <= 366 k.
std::int64_t model_year(double time);

// A sink that reduces a run's records to its metrics on the fly, keeping
// nothing per record (the summary's year-by-year figures only when a metric
// needs them), and hands every record on to `next` when one is given (the
// kept output file).
class MetricSink final : public RecordSink {
 public:
  MetricSink(const std::vector<Metric>& metrics, double start_time, RecordSink* next = nullptr);
  void begin(const Model& model) override;
  void record(const Model& model, double time) override;
  void end() override;

  // The metrics' values, in the order given; NaN for a metric without a value
  // (no record or complete year in its window). Call once, after the run.
  std::vector<double> values();

 private:
  struct Accumulator {
    std::size_t count = 0;
    double sum = 0.0;
    double integral = 0.0;
    double min = 0.0;
    double max = 0.0;
    double last = 0.0;
    void add(double value, double weight);
    double result(Reduction reduction) const;
  };

  const std::vector<Metric>& metrics_;
  double start_time_;
  RecordSink* next_;
  double previous_time_ = 0.0;
  std::vector<Accumulator> accumulators_;
  std::optional<AnnualSummary> summary_;
};

}  // namespace vindrel::study
