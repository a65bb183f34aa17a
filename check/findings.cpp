#include "check/findings.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "check/finding_parts.hpp"
#include "core/exceptions.hpp"
#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel {
namespace {

using namespace finding_parts;

// Records further apart than this, in days, are no longer daily.
constexpr double kDailyStep = 1.0 + 1e-9;

// The first line of a model year boundary at or before `time`, and the next.
std::pair<double, double> year_boundaries(double time) {
  const double year = static_cast<double>(kModelYearDays);
  const double before = std::floor(time / year) * year;
  return {before, before + year};
}

// ---------------------------------------------------------------- settings

void add_mid_year_start(const Model& model, const RunSettings& settings,
                        std::vector<Finding>& out) {
  if (settings.first_start_time && *settings.first_start_time != settings.start_time) return;
  const double start = settings.start_time;
  const double Jday = model.states[state::Jday].value;
  const auto [before, after] = year_boundaries(start);
  // A start on a year's turn or on its first day starts the year, as the
  // reset does.
  if (Jday == 0.0 || start - before <= 1.0) return;
  out.push_back(warning(
      "", 0,
      "the run starts at day " + day_text(start) + ", day " +
          std::to_string(day_of_model_year(start)) +
          " of a model year, from states whose day of the year (Jday) is " + day_text(Jday) +
          ": the annual reset at the start sets the phenology clocks and the yearly totals to 0 "
          "in mid-year. Start at day " +
          day_text(before) + " or " + day_text(after) +
          ", where the model's years turn, or continue the run these states come from with its "
          "first start time"));
}

// A continuation takes up states saved at the end of an earlier run; their
// day of the year (Jday) says where in the model year they were saved, and
// the continuation's first driver time should be there too (a start of 49000
// typed for states saved at 50000 is not).
void add_continuation_day(const Model& model, const RunSettings& settings,
                          std::vector<Finding>& out) {
  if (!settings.first_start_time || *settings.first_start_time == settings.start_time) return;
  const double Jday = model.states[state::Jday].value;
  if (Jday == 0.0 || !std::isfinite(Jday)) return;
  double driver_time = settings.start_time;
  try {
    driver_time = driver_timeline(settings).first;
  } catch (const ERunTimeError&) {
    return;  // refused with its own finding
  }
  const int day = day_of_model_year(driver_time);
  const double year = static_cast<double>(kModelYearDays);
  double apart = std::fmod(std::fabs(Jday - static_cast<double>(day)), year);
  apart = std::min(apart, year - apart);
  // Within the first model year of a series the clock runs one day behind
  // the calendar; a time step more is a step's rounding.
  if (apart <= 1.0 + settings.time_step) return;
  out.push_back(warning(
      "", 0,
      "the run continues at day " + day_text(settings.start_time) + ", day " + std::to_string(day) +
          " of a model year" + (driver_time != settings.start_time ? " in its drivers" : "") +
          ", from states whose day of the year (Jday) is " + day_text(Jday) +
          ": the states were saved at another day of the year, so the phenology clocks and the "
          "yearly totals go on out of step with the weather. Continue at the time the states "
          "were saved"));
}

void add_sparse_output(const RunSettings& settings, std::vector<Finding>& out) {
  if (!(settings.output_step > kDailyStep)) return;
  const std::vector<std::int64_t> covered = complete_years_of_run(
      settings.start_time, settings.stop_time, settings.time_step, settings.time_step);
  const std::vector<std::int64_t> recorded = complete_years_of_run(
      settings.start_time, settings.stop_time, settings.time_step, settings.output_step);
  std::vector<std::int64_t> missing;
  std::set_difference(covered.begin(), covered.end(), recorded.begin(), recorded.end(),
                      std::back_inserter(missing));
  if (missing.empty()) return;
  const std::string years = missing.size() == 1
                                ? "model year " + std::to_string(missing.front())
                                : std::to_string(missing.size()) + " model years (" +
                                      std::to_string(missing.front()) + " to " +
                                      std::to_string(missing.back()) + ")";
  out.push_back(warning(
      "", 0,
      "with a record every " + day_text(settings.output_step) +
          " days, no record falls on the last day of " + years +
          " that the run covers: the annual summary gives no sums (GPP, NPP, NEP, ET, "
          "discharge, ...) and no figures at the year's end for them, and counts them "
          "incomplete. Daily output, or an output step that divides 366 days from a start at a "
          "multiple of it, puts a record at each year's end"));
}

// ---------------------------------------------------------------- drivers

// Why a driver value is one no weather has; "" when it is a possible one.
std::string impossible_value_reason(int driver, double value) {
  if (!std::isfinite(value)) return "not a finite number";
  switch (driver) {
    case driver::Ca:
      return value <= 0.0 ? "CO2 at or below 0" : "";
    case driver::Tamax:
    case driver::Tamin:
    case driver::Ts:
      return value < -90.0 || value > 60.0 ? "a temperature outside -90 to 60 oC" : "";
    case driver::Ppt:
    case driver::II:
    case driver::DNH4:
    case driver::DNO3:
      return value < 0.0 ? "below 0, which no precipitation, radiation or deposition is" : "";
    default:
      // Litterfall and soil mineral nitrogen: -1 prescribes nothing.
      return value < 0.0 && is_prescribed(value)
                 ? "below 0, and not -1 (the value that prescribes nothing)"
                 : "";
  }
}

// The first impossible value of one driver among the records a run uses.
struct ImpossibleValue {
  std::size_t line = 0;
  double value = 0.0;
  std::string reason;
  std::size_t records = 0;
};

class DriverScan {
 public:
  DriverScan(const Model& model, const RunSettings& settings, double first_used, double last_used)
      : model_(model), settings_(settings), first_used_(first_used), last_used_(last_used) {}

  // The scan of an evaluation at one time rather than of a run.
  void for_evaluation() { evaluation_ = true; }

  void visit(const ScannedDriverRecord& record) {
    const double at = std::fabs(record.time);
    if (record.number == 1) {
      first_time_ = at;
      first_line_ = record.time_line;
    }
    if (record.number > 1 && at < latest_) {
      if (!backwards_line_) {
        backwards_line_ = record.time_line;
        backwards_record_ = record.number;
        backwards_time_ = record.time;
        backwards_after_ = latest_;
      }
      // A record out of order within the days the run looks up is one the
      // lookup would skip.
      if (at <= last_used_) ++backwards_in_use_;
    }
    if (at >= latest_) {
      latest_ = at;
      latest_line_ = record.time_line;
    }
    last_time_ = at;
    last_line_ = record.time_line;
    if (record.last_line != record.time_line) {
      if (++run_over_count_ == 1) {
        run_over_line_ = record.time_line;
        run_over_next_ = record.last_line;
        run_over_on_line_ = 1;  // the time
        for (std::int32_t i = 1; i <= model_.ModelInfo.DriverCount; ++i) {
          if (record.lines[static_cast<std::size_t>(i)] == record.time_line) ++run_over_on_line_;
        }
        run_over_time_ = record.time;
      }
    }
    // A record is used when it holds, or is interpolated towards, at a
    // driver time that a step begins at. Decided when the next one is read.
    if (pending_) check_values(*pending_, at);
    previous_at_ = pending_ ? std::fabs(pending_->time) : -std::numeric_limits<double>::infinity();
    pending_ = record;
  }

  // True once a record lies past every driver time the run looks up, the
  // lookup after its last step included: what follows is never read.
  bool past_the_run() const { return latest_ > last_used_ + settings_.time_step; }

  void finish(std::vector<Finding>& out) {
    if (pending_) check_values(*pending_, std::numeric_limits<double>::infinity());
    const std::string& file = settings_.driver_file;
    if (backwards_in_use_ > 0) {
      // Worded as the reader words it when a run comes upon such a record.
      out.push_back(refusal(file, *backwards_line_,
                            "Driver times out of order: expected the time of record " +
                                std::to_string(backwards_record_) + " to be at least " +
                                day_text(backwards_after_) + " (the time of record " +
                                std::to_string(backwards_record_ - 1) + "), found " +
                                day_text(backwards_time_) +
                                ". The lookup only moves forward, so the run would skip " +
                                std::to_string(backwards_in_use_) +
                                (backwards_in_use_ == 1 ? " record" : " records") +
                                " of the days it uses; put the records in time order"));
    }
    if (evaluation_) {
      add_evaluation_ends(out);
    } else {
      if (first_line_ > 0 && first_time_ > first_used_) {
        out.push_back(warning(file, first_line_,
                              "the driver file's first record is for day " + day_text(first_time_) +
                                  ", after the run's first driver time, day " +
                                  day_text(first_used_) + ": days " + day_text(first_used_) +
                                  " to " + day_text(first_time_ - settings_.time_step) +
                                  " take the weather of day " + day_text(first_time_)));
      }
      if (last_line_ > 0 && repeat_settings_refusal(settings_).empty()) {
        const std::string ends = drivers_end_warning(settings_, latest_);
        if (!ends.empty()) out.push_back(warning(file, latest_line_, ends));
      }
    }
    for (std::int32_t i = 1; i <= model_.ModelInfo.DriverCount; ++i) {
      const ImpossibleValue& v = impossible_[static_cast<std::size_t>(i)];
      if (v.records == 0) continue;
      const Tparamvariable& d = model_.drivers[i];
      std::string text = "driver " + d.symbol + " (" + d.name + ") is " + day_text(v.value) + " " +
                         cut_name(d.units) + ", " + v.reason;
      if (v.records > 1) {
        text += "; " + std::to_string(v.records) +
                " records that the run uses have such values, this is the first";
      }
      out.push_back(warning(file, v.line, text));
    }
    if (run_over_count_ > 0) {
      const int needed = model_.ModelInfo.DriverCount + 1;
      std::string text = "the record for day " + day_text(std::fabs(run_over_time_)) + " has " +
                         std::to_string(run_over_on_line_) + " of its " + std::to_string(needed) +
                         " numbers on this line and takes the rest from line " +
                         std::to_string(run_over_next_) +
                         ", whose other numbers are skipped: a number seems to be missing. The "
                         "record is read across the line end, as driver records are";
      if (run_over_count_ > 1) {
        text += "; " + std::to_string(run_over_count_) + " records run over, this is the first";
      }
      out.push_back(warning(file, run_over_line_, text));
    }
  }

 private:
  // An evaluation looks up one time: before the first record it takes the
  // first record's weather, after the last the last one's.
  void add_evaluation_ends(std::vector<Finding>& out) const {
    const std::string& file = settings_.driver_file;
    const double time = first_used_;
    if (first_line_ > 0 && first_time_ > time) {
      out.push_back(warning(file, first_line_,
                            "the driver file's first record is for day " + day_text(first_time_) +
                                ", after the time of the evaluation, day " + day_text(time) +
                                ": the evaluation takes the weather of day " +
                                day_text(first_time_)));
    }
    if (last_line_ > 0 && latest_ < time) {
      out.push_back(warning(file, latest_line_,
                            "the driver file ends at day " + day_text(latest_) +
                                "; its last record holds from there to the time of the "
                                "evaluation, " +
                                day_text(time)));
    }
  }

  void check_values(const ScannedDriverRecord& record, double next_at) {
    const double at = std::fabs(record.time);
    const bool holds = (record.number == 1 || at <= last_used_) && next_at > first_used_;
    const bool interpolated_towards =
        record.time < 0.0 && previous_at_ <= last_used_ && at > first_used_;
    if (!holds && !interpolated_towards) return;
    for (std::int32_t i = 1; i <= model_.ModelInfo.DriverCount; ++i) {
      const auto index = static_cast<std::size_t>(i);
      const double value = record.values[index];
      const std::string reason = impossible_value_reason(i, value);
      if (reason.empty()) continue;
      ImpossibleValue& v = impossible_[index];
      if (v.records++ == 0) {
        v.line = record.lines[index];
        v.value = value;
        v.reason = reason;
      }
    }
  }

  const Model& model_;
  const RunSettings& settings_;
  double first_used_;
  double last_used_;
  double first_time_ = 0.0;
  std::size_t first_line_ = 0;
  double latest_ = 0.0;  // the latest time so far
  std::size_t latest_line_ = 0;
  double last_time_ = 0.0;
  std::size_t last_line_ = 0;
  std::optional<std::size_t> backwards_line_;
  std::size_t backwards_record_ = 0;
  double backwards_time_ = 0.0;  // as read, sign included
  double backwards_after_ = 0.0;
  std::size_t backwards_in_use_ = 0;
  std::size_t run_over_count_ = 0;
  std::size_t run_over_line_ = 0;
  std::size_t run_over_next_ = 0;
  int run_over_on_line_ = 0;
  double run_over_time_ = 0.0;
  std::optional<ScannedDriverRecord> pending_;
  double previous_at_ = 0.0;
  std::array<ImpossibleValue, kDriverCapacity + 1> impossible_{};
  bool evaluation_ = false;
};

// The driver times a run's steps begin at; the start and the last step's
// start when the settings are refused.
DriverTimeRange used_driver_times(const RunSettings& settings) {
  try {
    return driver_time_range(settings);
  } catch (const ERunTimeError&) {
    DriverTimeRange range;
    range.first = settings.start_time;
    range.last = std::max(settings.start_time, settings.stop_time - settings.time_step);
    return range;
  }
}

}  // namespace

std::string finding_text(const Finding& finding) {
  if (finding.file.empty()) return finding.text;
  std::string text = finding.file;
  if (finding.line > 0) {
    text += ':';
    text += std::to_string(finding.line);
  }
  text += ": ";
  text += finding.text;
  return text;
}

bool any_refusal(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.level == FindingLevel::kRefusal; });
}

std::vector<Finding> settings_findings(const Model& model, const RunSettings& settings) {
  std::vector<Finding> out;
  const std::string refused = repeat_settings_refusal(settings);
  if (!refused.empty()) out.push_back(refusal("", 0, refused));
  add_mid_year_start(model, settings, out);
  add_continuation_day(model, settings, out);
  add_sparse_output(settings, out);
  return out;
}

namespace {

std::vector<Finding> scanned_driver_findings(const Model& model, const RunSettings& settings,
                                             DriverScan& scan) {
  std::vector<Finding> out;
  bool any = false;
  std::size_t end_line = 0;
  try {
    end_line =
        scan_driver_records(settings.driver_file, model, [&](const ScannedDriverRecord& record) {
          any = true;
          scan.visit(record);
          return true;
        });
  } catch (const EInOutError& e) {
    // A bad record past the days the run uses is never read by it.
    if (!scan.past_the_run()) {
      out.push_back(from_error(e));
      return out;
    }
  }
  if (!any) {
    out.push_back(refusal(settings.driver_file, end_line, std::string(kNoDriverRecordMessage)));
    return out;
  }
  scan.finish(out);
  return out;
}

}  // namespace

std::vector<Finding> driver_file_findings(const Model& model, const RunSettings& settings) {
  const DriverTimeRange range = used_driver_times(settings);
  DriverScan scan(model, settings, range.first, range.last);
  return scanned_driver_findings(model, settings, scan);
}

std::vector<Finding> evaluation_driver_findings(const Model& model, const RunSettings& settings) {
  DriverScan scan(model, settings, settings.calculation_time, settings.calculation_time);
  scan.for_evaluation();
  return scanned_driver_findings(model, settings, scan);
}

std::vector<Finding> check_run_inputs(const Model& model, const RunSettings& settings) {
  std::vector<Finding> out;
  out = param_file_findings(settings.parameter_file, model);
  for (Finding& f : settings_findings(model, settings)) out.push_back(std::move(f));
  for (Finding& f : driver_file_findings(model, settings)) out.push_back(std::move(f));
  return out;
}

std::string failure_cause_text(const RunFailureDetail& detail, const Model& model,
                               const RunSettings& settings) {
  if (detail.equation_group.find("is not a finite number") == std::string::npos) return {};
  std::string text;
  if (!settings.parameter_file.empty()) {
    try {
      const std::vector<ParamFileLine> lines = ReadParamFileLines(settings.parameter_file, model);
      for (std::size_t k = 0; k < lines.size(); ++k) {
        if (std::isfinite(lines[k].value)) continue;
        text += "  from " + settings.parameter_file + ":" + std::to_string(lines[k].line) + ": " +
                entry_name(model, k) + " is " + day_text(lines[k].value) + "\n";
      }
    } catch (const EInOutError&) {
      // The file has changed since the run read it; nothing to point at.
    }
  }
  // The driver records in force up to the failure that hold values that are
  // not finite, the first of each driver.
  try {
    std::array<bool, kDriverCapacity + 1> named{};
    scan_driver_records(settings.driver_file, model, [&](const ScannedDriverRecord& record) {
      if (record.number > 1 && std::fabs(record.time) > detail.driver_time) return false;
      for (std::int32_t i = 1; i <= model.ModelInfo.DriverCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (std::isfinite(record.values[index]) || named[index]) continue;
        named[index] = true;
        text += "  from " + settings.driver_file + ":" + std::to_string(record.lines[index]) +
                ": driver " + model.drivers[i].symbol + " is " + day_text(record.values[index]) +
                "\n";
      }
      return true;
    });
  } catch (const EInOutError&) {
    // As above.
  }
  return text;
}

namespace finding_parts {

std::string day_text(double value) { return shortest_decimal_text(value); }

Finding refusal(std::string file, std::size_t line, std::string text) {
  return {FindingLevel::kRefusal, std::move(file), line, std::move(text)};
}

Finding warning(std::string file, std::size_t line, std::string text) {
  return {FindingLevel::kWarning, std::move(file), line, std::move(text)};
}

Finding from_error(const EInOutError& error) {
  return refusal(error.file(), error.line(), error.message());
}

std::string cut_name(const std::string& name) {
  std::string cut = name.substr(0, kFieldWidth);
  return cut.substr(0, cut.find_last_not_of(' ') + 1);
}

std::string entry_name(const Model& model, std::size_t index) {
  const auto states = static_cast<std::size_t>(model.ModelInfo.StateCount);
  if (index < states) {
    const auto i = static_cast<int>(index) + 1;
    return "state " + std::to_string(i) + " (" + model.states[i].symbol + ", " +
           model.states[i].name + ")";
  }
  const auto j = static_cast<int>(index - states) + 1;
  return "parameter " + std::to_string(j) + " (" + model.parameters[j].symbol + ", " +
         model.parameters[j].name + ")";
}

}  // namespace finding_parts

}  // namespace vindrel
