#include "summary/annual_summary.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/output_file.hpp"

namespace vindrel {
namespace {

// Snowmelt is looked for before this day of the year.
constexpr int kMidsummer = 183;

constexpr SummaryColumn kColumns[] = {
    {"year", "", 5, 0},    {"LAI", "max", 5, 2},  {"GPP", "gC", 6, 0},   {"NPP", "gC", 6, 0},
    {"NEP", "gC", 6, 0},   {"Rsoil", "gC", 6, 0}, {"ET", "mm", 5, 0},    {"Intc", "mm", 5, 0},
    {"Q", "mm", 5, 0},     {"P", "mm", 5, 0},     {"LeafC", "gC", 6, 0}, {"LeafN", "gN", 6, 2},
    {"LitC", "gC", 6, 0},  {"Nup", "gN", 6, 2},   {"Nmin", "gN", 6, 2},  {"Nleach", "gN", 7, 3},
    {"Snow", "mm", 5, 0},  {"Melt", "day", 5, 0}, {"Out", "day", 5, 0},  {"Fall", "day", 5, 0},
    {"Dry", "days", 5, 0}, {"TotC", "gC", 8, 0},  {"TotN", "gN", 7, 1},
};

constexpr SummaryColumn kWideColumns[] = {
    {"Rplant", "gC", 7, 0}, {"LitN", "gN", 6, 2},  {"Nfix", "gN", 6, 3},  {"PlantC", "gC", 8, 0},
    {"PlantN", "gN", 7, 1}, {"SoilC", "gC", 8, 0}, {"SoilN", "gN", 7, 1},
};

// Records further apart than this, in days, are no longer daily.
constexpr double kDailyStep = 1.0 + 1e-9;

std::int64_t year_of(double time) {
  return static_cast<std::int64_t>(std::ceil(time / static_cast<double>(kModelYearDays)));
}

// Right-aligned number with fixed decimals, independent of the locale; "-"
// for a missing figure.
std::string fixed(double value, int width, int decimals) {
  if (std::isnan(value))
    return std::string(static_cast<std::size_t>(std::max(width - 1, 0)), ' ') + "-";
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, result.ptr);
  if (static_cast<int>(s.size()) < width) {
    s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  }
  return s;
}

// The shortest text that reads back to the same number.
std::string general_text(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string padded(std::string_view text, int width) {
  std::string s(text);
  if (static_cast<int>(s.size()) < width) {
    s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  }
  return s;
}

// The values of `columns`, each after a blank but the year, which comes first
// and may be replaced by a word.
void append_values(std::string& out, std::span<const SummaryColumn> columns,
                   const std::vector<double>& values, bool starts_row, std::string_view first) {
  std::size_t i = 0;
  for (const SummaryColumn& c : columns) {
    const bool year = starts_row && i == 0;
    if (year && !first.empty()) {
      out += padded(first, c.width);
    } else {
      out += ' ';
      out += fixed(values[i], year ? c.width : c.width - 1, c.decimals);
    }
    ++i;
  }
}

void append_row(std::string& out, const std::vector<double>& values,
                const std::vector<double>& wide_values, bool wide, std::string_view first,
                std::string_view note) {
  append_values(out, kColumns, values, true, first);
  if (wide) append_values(out, kWideColumns, wide_values, false, "");
  out += note;
  out += '\n';
}

// What a year's line says after its figures.
std::string year_note(const YearFigures& y) {
  if (y.record_step <= kDailyStep) return y.complete ? "" : "  (part of a year)";
  const std::string records = std::to_string(y.records) + (y.records == 1 ? " record" : " records");
  if (y.sums_missing) {
    return "  (" + records + "; sums missing: the last record, day " + general_text(y.last_time) +
           ", is not at the year's end)";
  }
  return y.complete ? "  (" + records + ")" : "  (part of a year, " + records + ")";
}

// The year's running totals and its figures at the year's end, as missing.
void mark_sums_missing(YearFigures& y) {
  constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
  y.sums_missing = true;
  for (double* figure : {&y.gpp,
                         &y.npp,
                         &y.nep,
                         &y.soil_respiration,
                         &y.plant_respiration,
                         &y.evapotranspiration,
                         &y.interception,
                         &y.discharge,
                         &y.precipitation,
                         &y.leaf_litter_c,
                         &y.leaf_litter_n,
                         &y.litter_c,
                         &y.litter_n,
                         &y.n_uptake,
                         &y.net_mineralisation,
                         &y.n_leaching,
                         &y.total_c,
                         &y.total_n,
                         &y.n_fixation,
                         &y.plant_c,
                         &y.plant_n,
                         &y.soil_c,
                         &y.soil_n}) {
    *figure = kMissing;
  }
}

}  // namespace

bool year_is_complete(std::int64_t year, double first_time, double last_time, double record_step) {
  const double year_end = static_cast<double>(year * kModelYearDays);
  const double year_start = static_cast<double>((year - 1) * kModelYearDays);
  // Daily records close the year with the record at its end; records further
  // apart with one at most a day before it, which still holds the year's sums
  // but for its last day.
  const bool closes_year = record_step <= kDailyStep ? std::fabs(last_time - year_end) < 1e-9
                                                     : year_end - last_time <= kDailyStep;
  // A run that starts at time 1 starts its first year, whose totals the model
  // resets at the start time.
  return closes_year && first_time <= year_start + 1.0 + record_step + 1e-9;
}

std::vector<std::int64_t> complete_years_of_run(double start_time, double stop_time,
                                                double time_step, double output_step) {
  std::vector<std::int64_t> years;
  if (!(time_step > 0.0) || !std::isfinite(time_step)) return years;
  // Runs of more steps than a billion, or of steps that leave the time as it
  // is, are not followed here.
  const double largest = std::max(std::fabs(start_time), std::fabs(stop_time));
  if (!((stop_time - start_time) / time_step <= 1e9) || largest + time_step == largest) {
    return years;
  }
  const double steps = std::nearbyint(output_step / time_step);
  if (!(steps >= 1.0) || !(steps < 1e18)) return years;
  const auto every = static_cast<long long>(steps);
  // The record times as the run loop makes them: one every `every` steps.
  double present = start_time;
  long long counter = 0;
  std::int64_t year = 0;
  double first = 0.0;
  double last = 0.0;
  double previous = 0.0;
  double record_step = output_step;
  int records = 0;
  const auto close = [&] {
    if (year != 0 && year_is_complete(year, first, last, record_step)) years.push_back(year);
  };
  while (present + time_step <= stop_time) {
    present += time_step;
    if (++counter != every) continue;
    counter = 0;
    ++records;
    if (records == 2) record_step = present - previous;
    previous = present;
    const std::int64_t y = year_of(present);
    if (y != year) {
      close();
      year = y;
      first = present;
    }
    last = present;
  }
  // A single record says nothing of the step; the summary then counts it daily.
  if (records < 2) record_step = 1.0;
  close();
  return years;
}

std::span<const SummaryColumn> summary_columns() { return kColumns; }
std::span<const SummaryColumn> summary_wide_columns() { return kWideColumns; }

std::vector<double> summary_wide_values(const YearFigures& y) {
  return {y.plant_respiration, y.litter_n, y.n_fixation, y.plant_c, y.plant_n, y.soil_c, y.soil_n};
}

std::vector<double> summary_values(const YearFigures& y) {
  return {static_cast<double>(y.year),
          y.peak_lai,
          y.gpp,
          y.npp,
          y.nep,
          y.soil_respiration,
          y.evapotranspiration,
          y.interception,
          y.discharge,
          y.precipitation,
          y.leaf_litter_c,
          y.leaf_litter_n,
          y.litter_c,
          y.n_uptake,
          y.net_mineralisation,
          y.n_leaching,
          y.peak_snow,
          static_cast<double>(y.melt_day),
          static_cast<double>(y.leaf_out),
          static_cast<double>(y.leaf_fall),
          static_cast<double>(y.dry_days),
          y.total_c,
          y.total_n};
}

template <class State, class Process>
void AnnualSummary::add_record(double time, const State& state, const Process& process) {
  ++record_count_;
  if (record_count_ == 2) output_step_ = time - previous_time_;
  previous_time_ = time;
  const std::int64_t year = year_of(time);
  if (years_.empty() || years_.back().year != year) {
    if (!years_.empty()) finish_year(false);
    years_.push_back(YearFigures{});
    years_.back().year = year;
    years_.back().first_time = time;
  }
  YearFigures& y = years_.back();
  ++y.records;
  y.last_time = time;
  y.gpp = state(state::PST);
  y.npp = state(state::NPPT);
  y.nep = state(state::NepT);
  y.soil_respiration = state(state::RST);
  y.plant_respiration = state(state::RPT);
  y.evapotranspiration = state(state::EtT);
  y.interception = state(state::PptIT);
  y.discharge = state(state::QgT);
  y.precipitation = state(state::PptT);
  y.leaf_litter_c = state(state::lambdaCfT);
  y.leaf_litter_n = state(state::lambdaNfT);
  y.litter_c = state(state::lambdaCT);
  y.litter_n = state(state::lambdaNT);
  y.n_uptake = state(state::UNT);
  y.net_mineralisation = state(state::NminT);
  y.n_leaching = state(state::QNT);
  y.total_c = process(process::CET);
  y.total_n = process(process::NET) + process(process::NIT);
  y.n_fixation = state(state::UnfixT);
  y.plant_c = process(process::CPT);
  y.plant_n = process(process::NPT);
  y.soil_c = process(process::CST);
  y.soil_n = process(process::NST) + process(process::NIT);
  y.peak_snow = std::max(y.peak_snow, state(state::Ws));
  if (process(process::Aw) <= 0.0) ++y.dry_days;
  daily_.lai.emplace_back(day_of_model_year(time), process(process::LAI));
  daily_.snow.emplace_back(day_of_model_year(time), state(state::Ws));
}

void AnnualSummary::add(double time, const Model& model) {
  add_record(
      time, [&model](int i) { return model.states[static_cast<std::size_t>(i)].value; },
      [&model](int i) { return model.processes[static_cast<std::size_t>(i)].value; });
}

void AnnualSummary::add(const double* row, const TModelDef& info) {
  // After the time and the drivers come the states and then the processes
  // after the derivatives, so state i and process p both sit at position i or
  // p counted from the last driver.
  const double* by_position = row + info.DriverCount;
  add_record(
      row[0], [by_position](int i) { return by_position[i]; },
      [by_position](int p) { return by_position[p]; });
}

void AnnualSummary::finish_year(bool last) {
  YearFigures& y = years_.back();
  const double year_end = static_cast<double>(y.year * kModelYearDays);
  y.record_step = output_step_;
  y.complete = year_is_complete(y.year, y.first_time, y.last_time, output_step_);
  // A year followed by records of the next one that has none at its end: its
  // last record's totals are not the year's. (The last year of the records
  // ends with the run, as part of a year.)
  if (!last && output_step_ > kDailyStep && year_end - y.last_time > kDailyStep) {
    mark_sums_missing(y);
  }
  const auto& lai = daily_.lai;
  for (const auto& [day, value] : lai) y.peak_lai = std::max(y.peak_lai, value);
  std::size_t peak_index = 0;
  for (std::size_t i = 0; i < lai.size(); ++i) {
    if (lai[i].second > lai[peak_index].second) peak_index = i;
  }
  const double half = 0.5 * y.peak_lai;
  for (std::size_t i = 0; i < lai.size() && y.peak_lai > 0.0; ++i) {
    if (lai[i].second >= half) {
      y.leaf_out = lai[i].first;
      break;
    }
  }
  for (std::size_t i = peak_index; i < lai.size() && y.peak_lai > 0.0; ++i) {
    if (lai[i].second < half) {
      y.leaf_fall = lai[i].first;
      break;
    }
  }
  // Snowmelt: the day after the last record before midsummer that holds snow.
  for (const auto& [day, snow] : daily_.snow) {
    if (day <= kMidsummer && snow > 0.0) y.melt_day = day + 1;
  }
  daily_.lai.clear();
  daily_.snow.clear();
}

std::vector<YearFigures> AnnualSummary::finish() {
  if (!years_.empty()) finish_year(true);
  record_count_ = 0;
  return std::move(years_);
}

std::vector<std::size_t> summary_input_columns(const TModelDef& info) {
  // State i sits at DriverCount + i of the record, process p at DriverCount + p.
  const auto at = [&info](int position) {
    return static_cast<std::size_t>(info.DriverCount + position);
  };
  return {at(state::PST),      at(state::NPPT),      at(state::NepT),      at(state::RST),
          at(state::RPT),      at(state::EtT),       at(state::PptIT),     at(state::QgT),
          at(state::PptT),     at(state::lambdaCfT), at(state::lambdaNfT), at(state::lambdaCT),
          at(state::lambdaNT), at(state::UNT),       at(state::NminT),     at(state::QNT),
          at(state::UnfixT),   at(state::Ws),        at(process::CET),     at(process::NET),
          at(process::NIT),    at(process::CPT),     at(process::NPT),     at(process::CST),
          at(process::NST),    at(process::Aw),      at(process::LAI)};
}

std::vector<YearFigures> summarise_output_file(const std::string& file_name) {
  const Model model = make_model();
  AnnualSummary summary;
  read_output_records(file_name, model, summary_input_columns(model.ModelInfo), "the summary",
                      [&](const double* row) { summary.add(row, model.ModelInfo); });
  std::vector<YearFigures> years = summary.finish();
  if (years.empty()) throw std::runtime_error(file_name + ": the output file holds no record");
  return years;
}

std::vector<YearFigures> summarise_records(const OutputTable& table, const TModelDef& info) {
  AnnualSummary summary;
  for (std::size_t r = 0; r < table.rows(); ++r) summary.add(table.row(r), info);
  return summary.finish();
}

std::string format_summary_table(const std::vector<YearFigures>& years, std::string_view source,
                                 bool wide) {
  std::string out = "Annual summary of ";
  out += source;
  out += " (model years of 366 days, per m2 of ground)\n";
  for (int line = 0; line < 2; ++line) {
    std::size_t i = 0;
    for (const SummaryColumn& c : kColumns) {
      if (i > 0) out += ' ';
      out += padded(line == 0 ? c.heading : c.units, i == 0 ? c.width : c.width - 1);
      ++i;
    }
    for (const SummaryColumn& c : kWideColumns) {
      if (!wide) break;
      out += ' ';
      out += padded(line == 0 ? c.heading : c.units, c.width - 1);
    }
    out += '\n';
  }
  std::vector<double> sum(std::size(kColumns), 0.0);
  std::vector<double> wide_sum(std::size(kWideColumns), 0.0);
  int complete = 0;
  for (const YearFigures& y : years) {
    const std::vector<double> values = summary_values(y);
    const std::vector<double> wide_values = summary_wide_values(y);
    append_row(out, values, wide_values, wide, "", year_note(y));
    if (!y.complete) continue;
    ++complete;
    for (std::size_t i = 0; i < values.size(); ++i) sum[i] += values[i];
    for (std::size_t i = 0; i < wide_values.size(); ++i) wide_sum[i] += wide_values[i];
  }
  if (complete > 1) {
    for (double& v : sum) v /= complete;
    for (double& v : wide_sum) v /= complete;
    append_row(out, sum, wide_sum, wide, "mean", "");
  }
  out +=
      "LAI: peak leaf area index. GPP, NPP, NEP: gross and net primary and net ecosystem\n"
      "production. Rsoil: soil (heterotrophic) respiration. ET: evapotranspiration; Intc:\n"
      "evaporated interception; Q: groundwater discharge; P: precipitation. LeafC, LeafN: leaf\n"
      "litterfall; LitC: all litterfall. Nup: N uptake; Nmin: net N mineralisation; Nleach: N\n"
      "lost in water. Snow: peak snowpack water. Melt: first day without snow until midsummer.\n"
      "Out, Fall: first day with half of the year's peak LAI, and first day after the peak\n"
      "below half of it. Dry: days with the root zone at or below wilting point. TotC, TotN:\n"
      "ecosystem carbon and nitrogen (mineral N included) at the year's end. Sums are the\n"
      "model's running totals at the year's last record.\n";
  if (wide) {
    out +=
        "Rplant: plant respiration. LitN: nitrogen in all litterfall. Nfix: nitrogen fixation.\n"
        "PlantC, PlantN, SoilC, SoilN: carbon and nitrogen in the plants and in the soil (mineral\n"
        "N included) at the year's end; plant and soil add up to TotC and TotN.\n";
  }
  if (!years.empty() && years.front().record_step > kDailyStep) {
    out += "The output file holds a record every " + general_text(years.front().record_step) +
           " days: a year's figures are those of its\n"
           "records (Dry counts records), and its sums stop at its last record. A year without a\n"
           "record on its last day or at its end has no sums and no figures at its end (\"-\").\n";
  }
  return out;
}

std::string format_summary_csv(const std::vector<YearFigures>& years) {
  std::string out;
  for (const SummaryColumn& c : kColumns) {
    if (!out.empty()) out += ',';
    out += c.heading;
    if (!c.units.empty()) {
      out += '_';
      out += c.units;
    }
  }
  for (const SummaryColumn& c : kWideColumns) {
    out += ',';
    out += c.heading;
    out += '_';
    out += c.units;
  }
  out += ",records,complete\n";
  for (const YearFigures& y : years) {
    std::vector<double> values = summary_values(y);
    const std::vector<double> wide_values = summary_wide_values(y);
    values.insert(values.end(), wide_values.begin(), wide_values.end());
    values.push_back(static_cast<double>(y.records));
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out += ',';
      if (std::isnan(values[i])) continue;  // a missing figure
      char text[32];
      // The shortest text that reads back to the same number.
      out.append(text, std::to_chars(text, text + sizeof text, values[i]).ptr);
    }
    out += y.complete ? ",1\n" : ",0\n";
  }
  return out;
}

}  // namespace vindrel
