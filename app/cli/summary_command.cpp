// vindrel-cli summary: the key annual figures of a run, year by year, read
// from its output file.
//
// A model year is 366 days: the annual reset of the clocks and running totals
// follows the step that ends at a multiple of 366, so year k holds the records
// at times 366 (k - 1) < t <= 366 k. The yearly sums are the model's own
// running totals ("Cum. GPP" and the others) at the year's last record; peaks,
// days and counts come from the daily records.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/commands.hpp"
#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/output_file.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::cli {
namespace {

constexpr std::int64_t kModelYear = 366;

// One column of the table: a heading, its units, a width and the decimals shown.
struct Column {
  std::string_view heading;
  std::string_view units;
  int width;
  int decimals;
};

// The figures of one model year.
struct YearFigures {
  std::int64_t year = 0;
  int records = 0;
  double first_time = 0.0;
  double last_time = 0.0;
  bool complete = false;
  // Running totals at the year's last record.
  double gpp = 0.0, npp = 0.0, nep = 0.0, soil_respiration = 0.0, plant_respiration = 0.0;
  double evapotranspiration = 0.0, interception = 0.0, discharge = 0.0, precipitation = 0.0;
  double leaf_litter_c = 0.0, leaf_litter_n = 0.0, litter_c = 0.0, litter_n = 0.0;
  double n_uptake = 0.0, net_mineralisation = 0.0, n_leaching = 0.0;
  double total_c = 0.0, total_n = 0.0;  // at the year's last record, mineral N included
  // From the daily records.
  double peak_lai = 0.0, peak_snow = 0.0;
  int dry_days = 0;   // records with the root zone at or below wilting point
  int melt_day = 0;   // first day of the year from which the snowpack stays gone until midsummer
  int leaf_out = 0;   // first day with at least half of the year's peak leaf area
  int leaf_fall = 0;  // first day after the peak with less than half of it
  std::vector<std::pair<int, double>> lai;  // (day of year, LAI) of every record
  std::vector<std::pair<int, double>> snow;
};

std::int64_t year_of(double time) {
  return static_cast<std::int64_t>(std::ceil(time / static_cast<double>(kModelYear)));
}

void finish_year(YearFigures& y, double output_step) {
  const double year_end = static_cast<double>(y.year * kModelYear);
  const double year_start = static_cast<double>((y.year - 1) * kModelYear);
  // Complete: the year's last record closes the year, and its first record
  // follows the year's first step (a run that starts at time 1 starts its
  // first year, whose totals the model resets at the start time).
  y.complete = std::fabs(y.last_time - year_end) < 1e-9 &&
               y.first_time <= year_start + 1.0 + output_step + 1e-9;
  for (const auto& [day, lai] : y.lai) y.peak_lai = std::max(y.peak_lai, lai);
  std::size_t peak_index = 0;
  for (std::size_t i = 0; i < y.lai.size(); ++i) {
    if (y.lai[i].second > y.lai[peak_index].second) peak_index = i;
  }
  const double half = 0.5 * y.peak_lai;
  for (std::size_t i = 0; i < y.lai.size() && y.peak_lai > 0.0; ++i) {
    if (y.lai[i].second >= half) {
      y.leaf_out = y.lai[i].first;
      break;
    }
  }
  for (std::size_t i = peak_index; i < y.lai.size() && y.peak_lai > 0.0; ++i) {
    if (y.lai[i].second < half) {
      y.leaf_fall = y.lai[i].first;
      break;
    }
  }
  // Snowmelt: the day after the last record before midsummer that holds snow.
  constexpr int kMidsummer = 183;
  for (const auto& [day, snow] : y.snow) {
    if (day <= kMidsummer && snow > 0.0) y.melt_day = day + 1;
  }
  y.lai.clear();
  y.snow.clear();
}

// Right-aligned number with fixed decimals, independent of the locale.
std::string fixed(double value, int width, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, result.ptr);
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

std::string padded(std::string_view text, int width) {
  std::string s(text);
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

const Column kColumns[] = {
    {"year", "", 5, 0},    {"LAI", "max", 5, 2},  {"GPP", "gC", 6, 0},   {"NPP", "gC", 6, 0},
    {"NEP", "gC", 6, 0},   {"Rsoil", "gC", 6, 0}, {"ET", "mm", 5, 0},    {"Intc", "mm", 5, 0},
    {"Q", "mm", 5, 0},     {"P", "mm", 5, 0},     {"LeafC", "gC", 6, 0}, {"LeafN", "gN", 6, 2},
    {"LitC", "gC", 6, 0},  {"Nup", "gN", 6, 2},   {"Nmin", "gN", 6, 2},  {"Nleach", "gN", 7, 3},
    {"Snow", "mm", 5, 0},  {"Melt", "day", 5, 0}, {"Out", "day", 5, 0},  {"Fall", "day", 5, 0},
    {"Dry", "days", 5, 0}, {"TotC", "gC", 8, 0},  {"TotN", "gN", 7, 1},
};

std::vector<double> row_values(const YearFigures& y) {
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

void print_row(std::ostream& out, const std::vector<double>& values, std::string_view first,
               std::string_view note) {
  std::size_t i = 0;
  for (const Column& c : kColumns) {
    if (i == 0 && !first.empty()) {
      out << padded(first, c.width);
    } else {
      out << ' ' << fixed(values[i], i == 0 ? c.width : c.width - 1, c.decimals);
    }
    ++i;
  }
  out << note << '\n';
}

void summarise(const std::string& file_name) {
  Model model = MakeModel();
  OutputFile file;
  file.OpenOutputFile(file_name, model, /*for_writing=*/false);
  std::vector<YearFigures> years;
  double time = 0.0;
  double previous_time = 0.0;
  double output_step = 1.0;  // days between records, from the first two records
  int record_count = 0;
  while (file.ReadOutputRecord(time, model)) {
    ++record_count;
    if (record_count == 2) output_step = time - previous_time;
    previous_time = time;
    const std::int64_t year = year_of(time);
    if (years.empty() || years.back().year != year) {
      if (!years.empty()) finish_year(years.back(), output_step);
      years.push_back(YearFigures{});
      years.back().year = year;
      years.back().first_time = time;
    }
    YearFigures& y = years.back();
    const auto state = [&model](int i) { return model.states[static_cast<std::size_t>(i)].value; };
    const auto process = [&model](int i) {
      return model.processes[static_cast<std::size_t>(i)].value;
    };
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
    y.peak_snow = std::max(y.peak_snow, state(state::Ws));
    if (process(process::Aw) <= 0.0) ++y.dry_days;
    y.lai.emplace_back(weather::day_of_model_year(time), process(process::LAI));
    y.snow.emplace_back(weather::day_of_model_year(time), state(state::Ws));
  }
  file.CloseOutputFile();
  if (years.empty()) throw std::runtime_error(file_name + ": the output file holds no record");
  finish_year(years.back(), output_step);

  std::ostream& out = std::cout;
  out << "Annual summary of " << file_name << " (model years of 366 days, per m2 of ground)\n";
  for (int line = 0; line < 2; ++line) {
    std::size_t i = 0;
    for (const Column& c : kColumns) {
      if (i > 0) out << ' ';
      out << padded(line == 0 ? c.heading : c.units, i == 0 ? c.width : c.width - 1);
      ++i;
    }
    out << '\n';
  }
  std::vector<double> sum(std::size(kColumns), 0.0);
  int complete = 0;
  for (const YearFigures& y : years) {
    const std::vector<double> values = row_values(y);
    print_row(out, values, "", y.complete ? "" : "  (part of a year)");
    if (!y.complete) continue;
    ++complete;
    for (std::size_t i = 0; i < values.size(); ++i) sum[i] += values[i];
  }
  if (complete > 1) {
    for (double& v : sum) v /= complete;
    print_row(out, sum, "mean", "");
  }
  out << "LAI: peak leaf area index. GPP, NPP, NEP: gross and net primary and net ecosystem\n"
         "production. Rsoil: soil (heterotrophic) respiration. ET: evapotranspiration; Intc:\n"
         "evaporated interception; Q: groundwater discharge; P: precipitation. LeafC, LeafN: leaf\n"
         "litterfall; LitC: all litterfall. Nup: N uptake; Nmin: net N mineralisation; Nleach: N\n"
         "lost in water. Snow: peak snowpack water. Melt: first day without snow until midsummer.\n"
         "Out, Fall: first day with half of the year's peak LAI, and first day after the peak\n"
         "below half of it. Dry: days with the root zone at or below wilting point. TotC, TotN:\n"
         "ecosystem carbon and nitrogen (mineral N included) at the year's end. Sums are the\n"
         "model's running totals at the year's last record.\n";
}

}  // namespace

void add_summary_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "summary", "Print the key annual figures of a run, year by year, from its output file");
  auto out = std::make_shared<std::string>();
  cmd->add_option("--out", *out, "Output file of a run (.out)")->required();
  cmd->callback([out] { summarise(*out); });
}

}  // namespace vindrel::cli
