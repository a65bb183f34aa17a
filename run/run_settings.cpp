#include "run/run_settings.hpp"

#include <cmath>

#include "core/exceptions.hpp"

namespace vindrel {

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
