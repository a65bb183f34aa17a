#include "check/run_preparation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "check/finding_parts.hpp"
#include "core/model_constants.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_columns.hpp"
#include "run/run_options_check.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel {

const OptionSpelling kCommandLineSpelling = {
    "--start",       "--stop",        "--step",   "--output-step", "--repeat-drivers",
    "--first-start", "--reset-every", "--reset",  "--hold",        "--integrator",
    "--rtol",        "--variables",   "--strict", "--time"};
const OptionSpelling kPythonSpelling = {
    "start", "stop", "step",       "output_step", "repeat_drivers", "first_start", "reset_every",
    "reset", "hold", "integrator", "rtol",        "variables",      "strict",      "time"};
const OptionSpelling kDesktopSpelling = {"Start Time",
                                         "Stop Time",
                                         "Time Step",
                                         "Output Time Step",
                                         "Repeat drivers every",
                                         "First Start Time",
                                         "Reset selected state variables every",
                                         "Reset",
                                         "Hold Constant",
                                         "Integrator",
                                         "Relative tolerance",
                                         "Variables",
                                         "Strict",
                                         "Calculation Time"};

namespace {

using finding_parts::day_text;

// Stops the preparation at an option's mistake.
struct OptionMistake {
  Finding finding;
};

class OptionChecks {
 public:
  explicit OptionChecks(const OptionSpelling& spelling) : spelling_(spelling) {}

  std::string name(RunOption option) const {
    return std::string(spelling_[static_cast<std::size_t>(option)]);
  }

  [[noreturn]] void refuse(std::string text, bool unknown_name = false) const {
    Finding finding = finding_parts::refusal("", 0, std::move(text));
    finding.usage = true;
    finding.unknown_name = unknown_name;
    throw OptionMistake{std::move(finding)};
  }

  void require(const std::string& problem) const {
    if (!problem.empty()) refuse(problem);
  }

  void finite_time(double value, RunOption option) const {
    require(finite_days_problem(value, name(option)));
    if (!time_within_precision(value)) {
      refuse(name(option) + ": expected a time within " +
             std::to_string(static_cast<long long>(kLargestRunTime)) +
             " days of 0, where a double still holds every day, found " + day_text(value));
    }
  }

  void positive_days(double value, RunOption option) const {
    require(finite_days_problem(value, name(option)));
    require(positive_days_problem(value, name(option)));
  }

  std::int32_t whole_days(long long days, RunOption option) const {
    require(whole_days_problem(days, name(option)));
    // Days beyond the settings' range are as good as forever.
    return static_cast<std::int32_t>(std::min<long long>(days, INT32_MAX));
  }

  // The columns or states a list of names picks, with the option's name
  // before the resolver's message.
  std::vector<OutputColumn> resolve(const Model& model, const std::string& list,
                                    OutputNames accepted, RunOption option) const {
    try {
      return resolve_output_list(model, list, accepted);
    } catch (const OutputNameError& error) {
      const std::string text = error.what();
      const bool names_nothing = text.rfind("unknown", 0) == 0 || text.rfind("ambiguous", 0) == 0;
      refuse(name(option) + ": " + text, names_nothing);
    }
  }

 private:
  const OptionSpelling& spelling_;
};

// The list with the group "summary" written out as the columns the annual
// summary reads.
std::string expanded_list(const std::string& given, const Model& model) {
  std::string list;
  std::size_t start = 0;
  while (start <= given.size()) {
    const std::size_t comma = std::min(given.find(',', start), given.size());
    std::string item = given.substr(start, comma - start);
    const std::size_t first = item.find_first_not_of(" \t");
    const std::size_t last = item.find_last_not_of(" \t");
    if (first != std::string::npos && item.substr(first, last - first + 1) == "summary") {
      item.clear();
      for (const std::size_t k : summary_input_columns(model.ModelInfo)) {
        if (!item.empty()) item += ',';
        item += qualified_output_name(model, output_column(model, static_cast<int>(k)));
      }
    }
    if (start > 0) list += ',';
    list += item;
    start = comma + 1;
  }
  return list;
}

// The times and the steps, as the options give them, checked in the order
// the options are listed.
void set_times(const RunOptions& options, const OptionChecks& check, RunSettings& settings) {
  check.finite_time(options.start, RunOption::kStart);
  check.finite_time(options.stop, RunOption::kStop);
  check.positive_days(options.step, RunOption::kStep);
  if (options.output_step) check.positive_days(*options.output_step, RunOption::kOutputStep);
  if (options.first_start) check.finite_time(*options.first_start, RunOption::kFirstStart);
  settings.start_time = options.start;
  settings.stop_time = options.stop;
  settings.time_step = options.step;
  settings.output_step = options.output_step.value_or(options.step);
  settings.calculation_time = options.start;
  settings.first_start_time = options.first_start;
  if (options.repeat_drivers) {
    settings.repeat_drivers = true;
    settings.repeat_time = check.whole_days(*options.repeat_drivers, RunOption::kRepeatDrivers);
  }
  if (options.reset_every) {
    settings.reset_states = true;
    settings.reset_interval = check.whole_days(*options.reset_every, RunOption::kResetEvery);
  }
}

// States may be marked for the reset by a list of names or already in the
// model (the desktop's state editor marks them).
void check_reset_list(const RunOptions& options, const Model& model, const OptionChecks& check) {
  bool marked = !options.reset.empty();
  for (int i = 1; i <= model.ModelInfo.StateCount && !marked; ++i) {
    marked = model.states[i].Reset;
  }
  if (!options.reset.empty() && !options.reset_every) {
    check.refuse(check.name(RunOption::kReset) + " requires " + check.name(RunOption::kResetEvery));
  }
  if (options.reset_every && !marked) {
    check.refuse(check.name(RunOption::kResetEvery) + " requires " + check.name(RunOption::kReset));
  }
}

void set_integrator(const RunOptions& options, const OptionChecks& check, RunSettings& settings,
                    std::vector<Finding>& findings) {
  check.require(integrator_problem(options.integrator, check.name(RunOption::kIntegrator)));
  settings.integrator = *integrator_from_name(options.integrator);
  const double rtol = options.rtol.value_or(kDefaultRelativeTolerance);
  check.require(relative_tolerance_problem(rtol, check.name(RunOption::kRtol)));
  settings.relative_tolerance = rtol;
  if (options.rtol && settings.integrator == IntegratorKind::kRk4) {
    findings.push_back(finding_parts::warning(
        "", 0,
        check.name(RunOption::kRtol) +
            " has no effect with rk4, which keeps the model's tolerance of " +
            tolerance_text(RunSettings{}.tolerance) +
            "; it sets the tolerance of dopri5 and rkf78"));
  }
}

// Refuses a stop time not after the start and a time step that would take no
// step or leave the time where it is; corrects the output step as the
// desktop's boxes do, with a warning.
void check_run_length(const OptionChecks& check, RunSettings& settings,
                      std::vector<Finding>& findings) {
  if (!(settings.stop_time > settings.start_time)) {
    check.refuse(check.name(RunOption::kStop) + ": expected a time after the start time " +
                 day_text(settings.start_time) + ", found " + day_text(settings.stop_time));
  }
  if (settings.time_step > settings.stop_time - settings.start_time) {
    check.refuse(check.name(RunOption::kStep) + ": the time step of " +
                 day_text(settings.time_step) + " days is longer than the run from " +
                 check.name(RunOption::kStart) + " to " + check.name(RunOption::kStop) + " (" +
                 day_text(settings.stop_time - settings.start_time) +
                 " days); no step would be taken");
  }
  if (!step_advances_time(settings.start_time, settings.stop_time, settings.time_step)) {
    check.refuse(check.name(RunOption::kStep) + ": the time step of " +
                 day_text(settings.time_step) + " days does not advance the time at day " +
                 day_text(std::max(std::fabs(settings.start_time), std::fabs(settings.stop_time))) +
                 ", where a double holds no finer steps");
  }
  const OutputStepCorrection correction = correct_output_step(settings);
  if (correction.corrected()) {
    findings.push_back(finding_parts::warning("", 0, correction.information));
  }
}

std::vector<int> state_positions(const Model& model, const std::string& list,
                                 const OptionChecks& check, RunOption option) {
  std::vector<int> positions;
  if (list.empty()) return positions;
  for (const OutputColumn& state : check.resolve(model, list, OutputNames::kStates, option)) {
    positions.push_back(state.index);
  }
  return positions;
}

// States a run ended with are those of one time: a run that starts at another
// takes them up out of step.
void add_continuation_start(const RunInputs& inputs, const RunOptions& options,
                            const OptionChecks& check, std::vector<Finding>& findings) {
  if (!inputs.states_saved_at || *inputs.states_saved_at == options.start) return;
  const double saved = *inputs.states_saved_at;
  // A start on the same day of the model year (a new run from states saved
  // at a year's turn, say) takes them up in step.
  const double year = static_cast<double>(kModelYearDays);
  double apart = std::fmod(
      std::fabs(static_cast<double>(day_of_model_year(saved) - day_of_model_year(options.start))),
      year);
  apart = std::min(apart, year - apart);
  if (apart <= 1.0 + options.step) return;
  const double series = inputs.series_start.value_or(saved);
  findings.push_back(finding_parts::warning(
      "", 0,
      "the model's states are those its run ended with, at day " + day_text(saved) + ", day " +
          std::to_string(day_of_model_year(saved)) +
          " of a model year, and this run starts at day " + day_text(options.start) + ", day " +
          std::to_string(day_of_model_year(options.start)) + ": to continue that run, start at " +
          day_text(saved) + " with " + check.name(RunOption::kFirstStart) + " " +
          day_text(series)));
}

void make_strict(std::vector<Finding>& findings, const OptionChecks& check) {
  for (Finding& finding : findings) {
    if (finding.level != FindingLevel::kWarning) continue;
    finding.level = FindingLevel::kRefusal;
    finding.text += " (refused by " + check.name(RunOption::kStrict) + ")";
  }
}

}  // namespace

const Finding* PreparedRun::usage_mistake() const {
  for (const Finding& finding : findings) {
    if (finding.usage) return &finding;
  }
  return nullptr;
}

void PreparedRun::mark_states(Model& model) const {
  for (int p : hold) model.states[p].HoldConstant = true;
  for (int p : reset) model.states[p].Reset = true;
}

PreparedRun prepare_run(const RunInputs& inputs, const RunOptions& options,
                        const OptionSpelling& spelling) {
  PreparedRun prepared;
  const OptionChecks check(spelling);
  RunSettings& settings = prepared.settings;
  try {
    set_times(options, check, settings);
    check_reset_list(options, inputs.model, check);
    set_integrator(options, check, settings, prepared.findings);
    check_run_length(check, settings, prepared.findings);
    if (options.variables) {
      for (const OutputColumn& column :
           check.resolve(inputs.model, expanded_list(*options.variables, inputs.model),
                         OutputNames::kAll, RunOption::kVariables)) {
        // The time is always the first column.
        if (column.column > 0) prepared.columns.push_back(static_cast<std::size_t>(column.column));
      }
      if (prepared.columns.empty()) {
        check.refuse(check.name(RunOption::kVariables) +
                     ": the list names no column beside the time");
      }
    }
    prepared.hold = state_positions(inputs.model, options.hold, check, RunOption::kHold);
    prepared.reset = state_positions(inputs.model, options.reset, check, RunOption::kReset);
  } catch (OptionMistake& mistake) {
    prepared.findings.push_back(std::move(mistake.finding));
    return prepared;
  }
  settings.parameter_file = inputs.parameter_file;
  settings.driver_file = inputs.driver_file;
  if (!inputs.check_files) return prepared;
  add_continuation_start(inputs, options, check, prepared.findings);
  for (Finding& finding : check_run_inputs(inputs.model, settings)) {
    prepared.findings.push_back(std::move(finding));
  }
  if (options.strict) make_strict(prepared.findings, check);
  return prepared;
}

std::vector<Finding> prepare_evaluation(const RunInputs& inputs, double time, double start,
                                        const OptionSpelling& spelling) {
  const OptionChecks check(spelling);
  RunSettings settings;
  settings.start_time = start;
  settings.calculation_time = time;
  settings.parameter_file = inputs.parameter_file;
  settings.driver_file = inputs.driver_file;
  std::vector<Finding> findings;
  try {
    check.finite_time(time, RunOption::kTime);
    check.finite_time(start, RunOption::kStart);
  } catch (OptionMistake& mistake) {
    findings.push_back(std::move(mistake.finding));
    return findings;
  }
  findings = param_file_findings(inputs.parameter_file, inputs.model);
  if (start > time) {
    findings.push_back(finding_parts::warning(
        "", 0,
        "the evaluation at day " + day_text(time) + " belongs to a run that starts later, at day " +
            day_text(start) + ": a run reaches no time before its start"));
  }
  for (Finding& finding : evaluation_driver_findings(inputs.model, settings)) {
    findings.push_back(std::move(finding));
  }
  return findings;
}

}  // namespace vindrel
