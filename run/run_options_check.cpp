#include "run/run_options_check.hpp"

#include <cmath>

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

}  // namespace vindrel
