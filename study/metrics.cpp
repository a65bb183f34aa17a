#include "study/metrics.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/model_constants.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_columns.hpp"

namespace vindrel::study {
namespace {

constexpr std::string_view kReductions = "last, mean, min, max or integral";

[[noreturn]] void refuse(std::string_view text, const std::string& what) {
  throw std::invalid_argument(std::string("metric \"") + std::string(text) + "\": " + what);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at == std::string_view::npos ? text.npos : at - from));
    if (at == std::string_view::npos) return parts;
    from = at + 1;
  }
}

bool parse_count(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= 1;
}

std::optional<Reduction> reduction_from_name(std::string_view name) {
  if (name == "last") return Reduction::kLast;
  if (name == "mean") return Reduction::kMean;
  if (name == "min") return Reduction::kMin;
  if (name == "max") return Reduction::kMax;
  if (name == "integral") return Reduction::kIntegral;
  return std::nullopt;
}

struct Variable {
  MetricTable table;
  std::size_t position;
};

std::optional<Variable> summary_figure(std::string_view heading) {
  const auto columns = summary_columns();
  for (std::size_t i = 1; i < columns.size(); ++i) {  // column 0 is the year
    if (columns[i].heading == heading) return Variable{MetricTable::kSummary, i};
  }
  const auto wide = summary_wide_columns();
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i].heading == heading) return Variable{MetricTable::kSummaryWide, i};
  }
  return std::nullopt;
}

std::string summary_headings() {
  std::string list;
  const auto columns = summary_columns();
  for (std::size_t i = 1; i < columns.size(); ++i) list += std::string(columns[i].heading) + " ";
  for (const SummaryColumn& c : summary_wide_columns()) list += std::string(c.heading) + " ";
  list.pop_back();
  return list;
}

// A summary figure (summary:HEADING, or a heading, which wins over an output
// variable of the same symbol), else a column of the output record.
Variable resolve_variable(std::string_view text, std::string_view variable, const Model& model) {
  constexpr std::string_view kSummary = "summary:";
  if (variable.starts_with(kSummary)) {
    const std::string_view heading = variable.substr(kSummary.size());
    if (const auto figure = summary_figure(heading)) return *figure;
    refuse(text, std::string("the summary has no figure \"") + std::string(heading) +
                     "\"; its headings are " + summary_headings());
  }
  if (const auto figure = summary_figure(variable)) return *figure;
  OutputColumn column;
  try {
    column = resolve_output_name(model, variable);
  } catch (const OutputNameError& error) {
    std::string message = error.what();
    if (message.ends_with(output_name_forms(OutputNames::kAll))) {
      message += ", or a summary figure: " + summary_headings();
    }
    refuse(text, message);
  }
  switch (column.kind) {
    case ColumnTable::kDriver:
      return Variable{MetricTable::kDriver, static_cast<std::size_t>(column.index)};
    case ColumnTable::kState:
      return Variable{MetricTable::kState, static_cast<std::size_t>(column.index)};
    case ColumnTable::kProcess:
      return Variable{MetricTable::kProcess, static_cast<std::size_t>(column.index)};
    case ColumnTable::kTime:
      break;
  }
  refuse(text, "the time is not a variable to reduce; name an output variable or a summary figure");
}

bool valid_name(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
  });
}

}  // namespace

std::int64_t model_year(double time) {
  return static_cast<std::int64_t>(std::ceil(time / static_cast<double>(kModelYearDays)));
}

Metric parse_metric(std::string_view text, const Model& model) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    refuse(text,
           "expected NAME=VARIABLE:REDUCTION[:years=A-B], for example "
           "nep=NEP:mean:years=21-30");
  }
  Metric metric;
  metric.name = std::string(text.substr(0, equals));
  metric.expression = std::string(text.substr(equals + 1));
  if (!valid_name(metric.name)) {
    refuse(text, "the name \"" + metric.name +
                     "\" must be letters, digits, \"_\", \"-\" or \".\", and not empty");
  }
  std::vector<std::string_view> parts = split(metric.expression, ':');
  // A qualified variable takes two parts: "summary:NEP", "process:LAI".
  std::string_view variable = parts[0];
  std::size_t next = 1;
  if (parts.size() >= 2 && (parts[0] == "summary" || parts[0] == "driver" || parts[0] == "state" ||
                            parts[0] == "process")) {
    variable = std::string_view(metric.expression).substr(0, parts[0].size() + 1 + parts[1].size());
    next = 2;
  }
  if (variable.empty()) refuse(text, "no variable before the reduction");
  if (next >= parts.size()) {
    refuse(text, std::string("no reduction after \"") + std::string(variable) + "\"; expected " +
                     std::string(kReductions) + " (" + std::string(variable) + ":mean)");
  }
  // "table:SYMBOL:REDUCTION" with a table the program does not have.
  if (next == 1 && parts.size() >= 3 && !reduction_from_name(parts[1]) &&
      reduction_from_name(parts[2])) {
    refuse(text, "\"" + std::string(parts[0]) +
                     "\" is not a table; qualify a variable as driver:, state:, process: or "
                     "summary:");
  }
  const Variable resolved = resolve_variable(text, variable, model);
  metric.table = resolved.table;
  metric.position = resolved.position;
  const auto reduction = reduction_from_name(parts[next]);
  if (!reduction) {
    refuse(text, std::string("\"") + std::string(parts[next]) + "\" is not a reduction; expected " +
                     std::string(kReductions));
  }
  metric.reduction = *reduction;
  ++next;
  if (next < parts.size()) {
    const std::string_view window = parts[next];
    constexpr std::string_view kYears = "years=";
    if (window.substr(0, kYears.size()) != kYears) {
      refuse(text, std::string("expected years=A-B after the reduction, found \"") +
                       std::string(window) + "\"");
    }
    const std::string_view range = window.substr(kYears.size());
    const std::size_t dash = range.find('-');
    const std::string_view first = range.substr(0, dash);
    const std::string_view last = dash == range.npos ? first : range.substr(dash + 1);
    if (!parse_count(first, metric.first_year) || !parse_count(last, metric.last_year) ||
        metric.first_year > metric.last_year) {
      refuse(text, std::string("\"") + std::string(window) +
                       "\" is not a window of model years; expected years=A-B with whole "
                       "numbers 1 <= A <= B, or years=A");
    }
    ++next;
  }
  if (next < parts.size()) {
    refuse(text, std::string("unexpected \"") + std::string(parts[next]) +
                     "\" after the window of years");
  }
  return metric;
}

std::vector<Metric> parse_metrics(const std::vector<std::string>& texts, const Model& model,
                                  const std::vector<std::string>& reserved, double start_time,
                                  double stop_time) {
  if (texts.empty()) {
    throw std::invalid_argument(
        "no metric: give at least one NAME=VARIABLE:REDUCTION, for example nep=NEP:mean");
  }
  const std::int64_t first_year = model_year(start_time);
  const std::int64_t last_year = model_year(stop_time);
  std::vector<Metric> metrics;
  for (const std::string& text : texts) {
    Metric metric = parse_metric(text, model);
    for (const Metric& other : metrics) {
      if (other.name == metric.name) refuse(text, "the name \"" + metric.name + "\" is used twice");
    }
    if (std::find(reserved.begin(), reserved.end(), metric.name) != reserved.end()) {
      refuse(text, "the name \"" + metric.name +
                       "\" is already a column of the results file (run, status, message or a "
                       "factor)");
    }
    if (metric.first_year != 0 &&
        (metric.first_year < first_year || metric.last_year > last_year)) {
      refuse(text, std::string("the run covers model years ") + std::to_string(first_year) +
                       " to " + std::to_string(last_year) + " only");
    }
    metrics.push_back(std::move(metric));
  }
  return metrics;
}

void MetricSink::Accumulator::add(double value, double weight) {
  if (count == 0) {
    min = value;
    max = value;
  } else {
    min = std::min(min, value);
    max = std::max(max, value);
  }
  ++count;
  sum += value;
  integral += value * weight;
  last = value;
}

double MetricSink::Accumulator::result(Reduction reduction) const {
  if (count == 0) return std::numeric_limits<double>::quiet_NaN();
  switch (reduction) {
    case Reduction::kLast:
      return last;
    case Reduction::kMean:
      return sum / static_cast<double>(count);
    case Reduction::kMin:
      return min;
    case Reduction::kMax:
      return max;
    case Reduction::kIntegral:
      return integral;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

MetricSink::MetricSink(const std::vector<Metric>& metrics, double start_time, RecordSink* next)
    : metrics_(metrics), start_time_(start_time), next_(next), accumulators_(metrics.size()) {
  for (const Metric& metric : metrics_) {
    if (metric.table == MetricTable::kSummary || metric.table == MetricTable::kSummaryWide) {
      summary_.emplace();
    }
  }
}

void MetricSink::begin(const Model& model) {
  if (next_ != nullptr) next_->begin(model);
  previous_time_ = start_time_;
}

void MetricSink::record(const Model& model, double time) {
  if (next_ != nullptr) next_->record(model, time);
  const std::int64_t year = model_year(time);
  const double interval = time - previous_time_;
  previous_time_ = time;
  for (std::size_t m = 0; m < metrics_.size(); ++m) {
    const Metric& metric = metrics_[m];
    if (metric.first_year != 0 && (year < metric.first_year || year > metric.last_year)) continue;
    const auto i = static_cast<int>(metric.position);
    switch (metric.table) {
      case MetricTable::kDriver:
        accumulators_[m].add(model.drivers[i].value, interval);
        break;
      case MetricTable::kState:
        accumulators_[m].add(model.states[i].value, interval);
        break;
      case MetricTable::kProcess:
        accumulators_[m].add(model.processes[i].value, interval);
        break;
      default:
        break;
    }
  }
  if (summary_) summary_->add(time, model);
}

void MetricSink::end() {
  if (next_ != nullptr) next_->end();
}

std::vector<double> MetricSink::values() {
  if (summary_) {
    for (const YearFigures& year : summary_->finish()) {
      if (!year.complete) continue;
      const std::vector<double> figures = summary_values(year);
      const std::vector<double> wide = summary_wide_values(year);
      for (std::size_t m = 0; m < metrics_.size(); ++m) {
        const Metric& metric = metrics_[m];
        if (metric.first_year != 0 &&
            (year.year < metric.first_year || year.year > metric.last_year)) {
          continue;
        }
        if (metric.table == MetricTable::kSummary) {
          accumulators_[m].add(figures[metric.position], 1.0);
        } else if (metric.table == MetricTable::kSummaryWide) {
          accumulators_[m].add(wide[metric.position], 1.0);
        }
      }
    }
  }
  std::vector<double> values;
  values.reserve(metrics_.size());
  for (std::size_t m = 0; m < metrics_.size(); ++m) {
    values.push_back(accumulators_[m].result(metrics_[m].reduction));
  }
  return values;
}

void check_metric_years(const std::vector<Metric>& metrics, double start_time, double stop_time,
                        double time_step, double output_step) {
  const std::vector<std::int64_t> complete =
      complete_years_of_run(start_time, stop_time, time_step, output_step);
  for (const Metric& metric : metrics) {
    if (metric.table != MetricTable::kSummary && metric.table != MetricTable::kSummaryWide) {
      continue;
    }
    const bool any = std::any_of(complete.begin(), complete.end(), [&](std::int64_t year) {
      return (metric.first_year == 0 || year >= metric.first_year) &&
             (metric.last_year == 0 || year <= metric.last_year);
    });
    if (any) continue;
    const std::string window = metric.first_year == 0
                                   ? std::string()
                                   : " among model years " + std::to_string(metric.first_year) +
                                         " to " + std::to_string(metric.last_year);
    refuse(metric.name + "=" + metric.expression,
           "the run from " + shortest_decimal_text(start_time) + " to " +
               shortest_decimal_text(stop_time) + " with an output step of " +
               shortest_decimal_text(output_step) + " days completes no model year" + window +
               ", so every run would end without a value: a year needs the run's records from "
               "its first step to its last day (year " +
               std::to_string(model_year(stop_time)) + " ends at day " +
               std::to_string(model_year(stop_time) * kModelYearDays) + ")");
  }
}

}  // namespace vindrel::study
