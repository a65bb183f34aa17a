#include "run/run_options_check.hpp"

#include <cmath>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"

namespace vindrel {

std::string finite_days_problem(double value, std::string_view option) {
  if (std::isfinite(value)) return {};
  return std::string(option) + ": expected a finite number of days, found " +
         shortest_decimal_text(value);
}

std::string positive_days_problem(double value, std::string_view option) {
  if (value > 0.0) return {};
  return std::string(option) + ": expected a number of days greater than 0, found " +
         shortest_decimal_text(value);
}

std::string whole_days_problem(long long days, std::string_view option) {
  if (days > 0) return {};
  return std::string(option) + ": expected a whole number of days greater than 0, found " +
         std::to_string(days);
}

std::string integrator_problem(const std::string& name, std::string_view option) {
  if (integrator_from_name(name)) return {};
  return std::string(option) + ": \"" + name + "\" is not one of rk4, dopri5, rkf78";
}

bool relative_tolerance_fits(double rtol) {
  // Not a number fails both comparisons.
  return rtol > 0.0 && rtol < 1.0;
}

std::string relative_tolerance_problem(double rtol, std::string_view option) {
  if (relative_tolerance_fits(rtol)) return {};
  return std::string(option) + ": " + std::string(kRelativeToleranceExpected) + ", found " +
         shortest_decimal_text(rtol);
}

void set_run_times(RunSettings& settings, double start, double stop, double step,
                   std::optional<double> output_step, std::optional<std::int32_t> repeat_days,
                   std::optional<std::int32_t> reset_days) {
  settings.start_time = start;
  settings.stop_time = stop;
  settings.time_step = step;
  settings.output_step = output_step.value_or(step);
  settings.calculation_time = start;
  if (repeat_days) {
    settings.repeat_drivers = true;
    settings.repeat_time = *repeat_days;
  }
  if (reset_days) {
    settings.reset_states = true;
    settings.reset_interval = *reset_days;
  }
}

std::optional<double> last_driver_time_read(const std::string& file_name, const Model& model,
                                            double last_time) {
  DriverFileReader reader;
  if (!reader.open(file_name)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), file_name);
  }
  driverarray values = model.drivers;
  double time = 0.0;
  std::optional<double> reached;
  while (reader.read_record(time, model.ModelInfo.DriverCount, values)) {
    reached = std::fabs(time);
    if (*reached > last_time) break;
  }
  reader.close();
  return reached;
}

}  // namespace vindrel
