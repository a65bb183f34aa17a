#include "run_request.hpp"

#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_columns.hpp"
#include "record_columns.hpp"
#include "run/run.hpp"
#include "run/run_options_check.hpp"

namespace vindrel::python {
namespace {

// Raises the mistake a run-option check reports as a ValueError.
void raise_problem(const std::string& problem) {
  if (!problem.empty()) throw py::value_error(problem);
}

// Names like `name` among the record's columns, for a message: "; close
// matches: LAI, ..." or "".
std::string close_matches(const Model& model, const std::string& name) {
  const py::object close = py::module_::import("difflib").attr("get_close_matches")(
      name, record_column_keys(model), 5, 0.6);
  std::string text;
  for (const auto& match : close.cast<std::vector<std::string>>()) {
    text += (text.empty() ? "; close matches: " : ", ") + match;
  }
  return text;
}

// The columns a list of output variables names. A name that picks none or
// several is a KeyError, a list written wrongly a ValueError, their messages
// led by `option`.
std::vector<OutputColumn> resolve_list(const Model& model, const std::string& list,
                                       OutputNames accepted, const char* option) {
  try {
    return resolve_output_list(model, list, accepted);
  } catch (const OutputNameError& error) {
    std::string message = std::string(option) + ": " + error.what();
    // The unknown name is the first quoted one.
    const std::string text = error.what();
    const auto open = text.find('"');
    const auto close = open == std::string::npos ? open : text.find('"', open + 1);
    const bool unknown = text.rfind("unknown", 0) == 0;
    if (unknown && close != std::string::npos) {
      message += close_matches(model, text.substr(open + 1, close - open - 1));
    }
    // A name that picks no column or several is a missing key; a list
    // written wrongly (an empty name, a column twice) is a bad value.
    if (unknown || text.rfind("ambiguous", 0) == 0) throw py::key_error(message);
    throw py::value_error(message);
  }
}

// The record columns named by `variables`, the time first and once.
void choose_columns(const Model& model, const std::string& variables, RunRequest& request) {
  const std::vector<std::string> keys = record_column_keys(model);
  request.columns.push_back(0);
  request.column_keys.push_back(keys[0]);
  for (const OutputColumn& column :
       resolve_list(model, variables, OutputNames::kAll, "variables")) {
    if (column.column == 0) continue;
    request.columns.push_back(static_cast<std::size_t>(column.column));
    request.column_keys.push_back(keys[static_cast<std::size_t>(column.column)]);
  }
}

std::vector<int> state_positions(const Model& model, const std::string& list, const char* option) {
  std::vector<int> positions;
  if (list.empty()) return positions;
  for (const OutputColumn& state : resolve_list(model, list, OutputNames::kStates, option)) {
    positions.push_back(state.index);
  }
  return positions;
}

}  // namespace

RunRequest make_run_request(const ModelHandle& handle, const RunOptions& options,
                            bool read_drivers) {
  RunRequest request;
  RunSettings& settings = request.settings;
  // In the order the command line checks its options.
  if (options.reset_every.has_value() != !options.reset.empty()) {
    throw py::value_error(options.reset_every ? "reset_every requires reset"
                                              : "reset requires reset_every");
  }
  raise_problem(finite_days_problem(options.start, "start"));
  raise_problem(finite_days_problem(options.stop, "stop"));
  raise_problem(finite_days_problem(options.step, "step"));
  raise_problem(positive_days_problem(options.step, "step"));
  if (options.output_step) {
    raise_problem(finite_days_problem(*options.output_step, "output_step"));
    raise_problem(positive_days_problem(*options.output_step, "output_step"));
  }
  if (options.repeat_drivers) {
    raise_problem(whole_days_problem(*options.repeat_drivers, "repeat_drivers"));
  }
  if (options.reset_every) raise_problem(whole_days_problem(*options.reset_every, "reset_every"));
  // Days beyond the settings' range are as good as forever.
  std::optional<std::int32_t> repeat_days;
  if (options.repeat_drivers) {
    repeat_days =
        static_cast<std::int32_t>(std::min<long long>(*options.repeat_drivers, INT32_MAX));
  }
  std::optional<std::int32_t> reset_days;
  if (options.reset_every) {
    reset_days = static_cast<std::int32_t>(std::min<long long>(*options.reset_every, INT32_MAX));
  }
  set_run_times(settings, options.start, options.stop, options.step, options.output_step,
                repeat_days, reset_days);
  raise_problem(integrator_problem(options.integrator, "integrator"));
  settings.integrator = *integrator_from_name(options.integrator);
  const double rtol = options.rtol.value_or(settings.relative_tolerance);
  raise_problem(relative_tolerance_problem(rtol, "rtol"));
  settings.relative_tolerance = rtol;
  if (options.rtol && settings.integrator == IntegratorKind::kRk4) {
    request.warnings.push_back(
        "rtol has no effect with rk4, which keeps the model's tolerance of 1e-8; it sets the "
        "tolerance of dopri5 and rkf78");
  }
  settings.parameter_file = handle.parameter_file;
  settings.driver_file = handle.driver_file;

  if (!(settings.stop_time > settings.start_time)) {
    throw py::value_error("stop: expected a time after the start time " +
                          shortest_decimal_text(settings.start_time) + ", found " +
                          shortest_decimal_text(settings.stop_time));
  }
  if (settings.time_step > settings.stop_time - settings.start_time) {
    throw py::value_error("step: the time step of " + shortest_decimal_text(settings.time_step) +
                          " days is longer than the run from start to stop (" +
                          shortest_decimal_text(settings.stop_time - settings.start_time) +
                          " days); no step would be taken");
  }
  const OutputStepCorrection correction = correct_output_step(settings);
  if (correction.corrected()) request.warnings.push_back(correction.information);

  if (options.variables) choose_columns(handle.model, *options.variables, request);
  request.reset = state_positions(handle.model, options.reset, "reset");
  request.hold = state_positions(handle.model, options.hold, "hold");

  if (!read_drivers) return request;
  // A bad driver file is reported before the run starts.
  const std::optional<double> last_driver_time =
      last_driver_time_read(settings.driver_file, handle.model, settings.stop_time);
  if (last_driver_time) {
    const std::string drivers_end = drivers_end_warning(settings, *last_driver_time);
    if (!drivers_end.empty()) request.warnings.push_back(drivers_end);
  }
  return request;
}

}  // namespace vindrel::python
