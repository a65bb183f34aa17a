// The key annual figures of a run, model year by model year, from its output
// file or from its records in memory: what the command line prints, the
// desktop shows and the studies tabulate.
//
// A model year is 366 days: the annual reset of the clocks and running totals
// follows the step that ends at a multiple of 366, so year k holds the records
// at times 366 (k - 1) < t <= 366 k. The yearly sums are the model's own
// running totals ("Cum. GPP" and the others) at the year's last record; peaks,
// days and counts come from the daily records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model.hpp"
#include "run/record_sink.hpp"

namespace vindrel {

// The figures of one model year.
struct YearFigures {
  std::int64_t year = 0;
  int records = 0;
  double first_time = 0.0;  // days
  double last_time = 0.0;   // days
  // The year's last record closes the year and its first follows the year's
  // first step.
  bool complete = false;
  // Running totals at the year's last record, per m2 of ground.
  double gpp = 0.0, npp = 0.0, nep = 0.0, soil_respiration = 0.0, plant_respiration = 0.0;  // g C
  double evapotranspiration = 0.0, interception = 0.0, discharge = 0.0;                     // mm
  double precipitation = 0.0;                                                               // mm
  double leaf_litter_c = 0.0, leaf_litter_n = 0.0, litter_c = 0.0, litter_n = 0.0;  // g C, g N
  double n_uptake = 0.0, net_mineralisation = 0.0, n_leaching = 0.0;                // g N
  double total_c = 0.0, total_n = 0.0;  // at the year's last record, mineral N included
  double n_fixation = 0.0;              // g N, running total
  // The ecosystem's totals in the plants and the soil, at the year's last
  // record: plant + soil = total (the soil's nitrogen includes mineral N).
  double plant_c = 0.0, plant_n = 0.0, soil_c = 0.0, soil_n = 0.0;  // g C, g N
  // From the daily records.
  double peak_lai = 0.0;   // m2 leaf m-2 ground
  double peak_snow = 0.0;  // mm
  int dry_days = 0;        // records with the root zone at or below wilting point
  int melt_day = 0;   // first day of the year from which the snowpack stays gone until midsummer
  int leaf_out = 0;   // first day with at least half of the year's peak leaf area
  int leaf_fall = 0;  // first day after the peak with less than half of it
  // Days between the output file's records (from its first two records).
  double record_step = 1.0;
  // The year's sums and its figures at the year's end need a record at the
  // year's end (at most a day before it). In a year that records of the next
  // one follow, they are missing (NaN) without one: the last record's running
  // totals cover only part of the year, or only the first days of the year
  // after the reset.
  bool sums_missing = false;
};

// True when the records of a year, from `first_time` to `last_time` and
// `record_step` days apart, close it: the year's last record lies at its end
// (daily records) or at most a day before it (records further apart), and its
// first record follows the year's first step. Such a year's figures are the
// whole year's.
bool year_is_complete(std::int64_t year, double first_time, double last_time, double record_step);

// The model years that the output of a run from start_time to stop_time, with
// a record every output_step, covers completely (year_is_complete), in order.
std::vector<std::int64_t> complete_years_of_run(double start_time, double stop_time,
                                                double time_step, double output_step);

// One column of the summary table: a heading, its units, a width and the
// decimals shown.
struct SummaryColumn {
  std::string_view heading;
  std::string_view units;
  int width;
  int decimals;
};

// The columns, year first, and a year's values in their order.
std::span<const SummaryColumn> summary_columns();
std::vector<double> summary_values(const YearFigures& year);
// The wide table's further columns (plant respiration, litter nitrogen,
// nitrogen fixation, plant and soil carbon and nitrogen), after the others,
// and a year's values in their order.
std::span<const SummaryColumn> summary_wide_columns();
std::vector<double> summary_wide_values(const YearFigures& year);

// Gathers the figures record by record.
class AnnualSummary {
 public:
  // One output record: its time and the drivers, states and processes as the
  // model's tables hold them.
  void add(double time, const Model& model);
  // One record in the output file's column order (time, drivers, states, the
  // processes after the derivatives); `info` gives the counts.
  void add(const double* row, const TModelDef& info);
  // The years gathered, the last one finished. Empty when nothing was added.
  std::vector<YearFigures> finish();

 private:
  template <class State, class Process>
  void add_record(double time, const State& state, const Process& process);

  struct Daily {
    std::vector<std::pair<int, double>> lai;   // (day of year, LAI) of every record
    std::vector<std::pair<int, double>> snow;  // (day of year, snowpack) of every record
  };
  // Closes the last year gathered; `last` when no record follows it.
  void finish_year(bool last);

  std::vector<YearFigures> years_;
  Daily daily_;
  double previous_time_ = 0.0;
  double output_step_ = 1.0;  // days between records, from the first two records
  int record_count_ = 0;
};

// The columns of the output record (column_labels.hpp) that the summary
// reads: 18 running totals and states, 9 processes.
std::vector<std::size_t> summary_input_columns(const TModelDef& info);

// The summary of a run's output: the model's output file, or a CSV or NetCDF
// output holding at least summary_input_columns(). Throws EInOutError for a bad
// file or one that lacks columns (naming them) and std::runtime_error for a
// file without records.
std::vector<YearFigures> summarise_output_file(const std::string& file_name);
// The summary of records kept in memory.
std::vector<YearFigures> summarise_records(const OutputTable& table, const TModelDef& info);

// The summary as a text table: the title naming `source`, two header lines,
// one line per year, the mean of the complete years when there are two or
// more, and a legend. Missing figures show as "-", with a note saying why. `wide` adds the wide
// columns at the right. A year that the run covers only in part is marked; with records further
// apart than a day, every year says how many records it has.
std::string format_summary_table(const std::vector<YearFigures>& years, std::string_view source,
                                 bool wide = false);
// The same figures as CSV: a header of names with their units, one line per
// year: the table's columns, the wide columns, the number of records, and a
// last column that says whether the year is complete. Missing figures are
// empty fields.
std::string format_summary_csv(const std::vector<YearFigures>& years);

}  // namespace vindrel
