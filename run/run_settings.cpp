#include "run/run_settings.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "core/enum_names.hpp"
#include "core/exceptions.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

constexpr EnumNames<IntegratorKind, 3> kIntegratorNames{{{
    {IntegratorKind::kRk4, "rk4"},
    {IntegratorKind::kDopri5, "dopri5"},
    {IntegratorKind::kFehlberg78, "rkf78"},
}}};

}  // namespace

std::string_view integrator_name(IntegratorKind kind) {
  return kIntegratorNames.name(kind, "unknown");
}

std::optional<IntegratorKind> integrator_from_name(std::string_view name) {
  return kIntegratorNames.parse(name);
}

std::string integrator_description(const RunSettings& settings) {
  // Tolerances in the general form with 6 digits: 1E-8, 2.5E-9.
  char text[kMaxGeneralLength];
  if (settings.integrator == IntegratorKind::kRk4) {
    return "rk4, tolerance " + std::string(text, format_general(text, settings.tolerance, 6));
  }
  return std::string(integrator_name(settings.integrator)) + ", rtol " +
         std::string(text, format_general(text, settings.relative_tolerance, 6));
}

std::string tolerance_text(double tolerance) {
  std::string text = shortest_decimal_text(tolerance);
  for (char& c : text) {
    if (c == 'E') c = 'e';
  }
  return text;
}

void check_output_step(double output_step, double time_step, double start_time, double stop_time) {
  if (output_step < time_step) throw EOutputStepTooSmall();
  if (stop_time - start_time < output_step) throw EOutputStepTooLarge();
  const double steps = output_step / time_step;
  if (std::fabs(steps - std::nearbyint(steps)) > 0.001) throw EOutputStepNotMultiple();
}

void check_output_step(const RunSettings& settings) {
  check_output_step(settings.output_step, settings.time_step, settings.start_time,
                    settings.stop_time);
}

OutputStepCorrection correct_output_step(double output_step, double time_step, double start_time,
                                         double stop_time) {
  OutputStepCorrection result;
  result.output_step = output_step;
  if (!(stop_time > start_time)) return result;
  try {
    check_output_step(output_step, time_step, start_time, stop_time);
  } catch (const EOutputStepTooSmall& e) {
    result.output_step = time_step;
    result.information = std::string(e.what()) + " Output time step increased to time step.";
  } catch (const EOutputStepTooLarge& e) {
    result.output_step = stop_time - start_time;
    result.information = std::string(e.what()) + " Output time step decreased to run length.";
  } catch (const EOutputStepNotMultiple& e) {
    result.output_step = time_step;
    result.information = std::string(e.what()) + " Output time step changed to current time step.";
  }
  return result;
}

bool time_within_precision(double time) { return std::fabs(time) <= kLargestRunTime; }

bool step_advances_time(double start, double stop, double step) {
  // A run without an end (an infinite stop time) is checked at its start.
  const double largest = std::max(std::fabs(start), std::isfinite(stop) ? std::fabs(stop) : 0.0);
  return step > 0.0 && largest + step != largest;
}

bool steps_countable(const RunSettings& settings) {
  const double dt = settings.time_step;
  const double steps = (settings.stop_time - settings.start_time) / dt;
  return std::isfinite(steps) && steps <= kMostCountedSteps &&
         step_advances_time(settings.start_time, settings.stop_time, dt);
}

OutputStepCorrection correct_output_step(RunSettings& settings) {
  OutputStepCorrection result = correct_output_step(settings.output_step, settings.time_step,
                                                    settings.start_time, settings.stop_time);
  settings.output_step = result.output_step;
  return result;
}

std::string application_title(std::string_view program_path) {
  const std::size_t separator = program_path.find_last_of("/\\");
  std::string_view name =
      separator == std::string_view::npos ? program_path : program_path.substr(separator + 1);
  name = name.substr(0, name.find('.'));
  return std::string(name);
}

namespace {

bool equals_ignoring_case(std::string_view text, std::string_view lower_case) {
  if (text.size() != lower_case.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower_case[i]) return false;
  }
  return true;
}

}  // namespace

UnattendedModes unattended_mode_from_program_name(std::string_view program_path) {
  const std::string title = application_title(program_path);
  UnattendedModes modes;
  modes.batch_mode = equals_ignoring_case(title, "modelbatch");
  modes.sensitivity_mode = equals_ignoring_case(title, "sensitivity");
  return modes;
}

}  // namespace vindrel
