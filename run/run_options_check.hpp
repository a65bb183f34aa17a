// The checks of single run options, with their messages, for the run's
// preparation (check/run_preparation.hpp). The messages name the option as
// the caller spells it ("--step", "step").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "run/run_settings.hpp"

namespace vindrel {

// "OPTION: expected a finite number of days, found +Inf", or "" when `value` is
// finite.
std::string finite_days_problem(double value, std::string_view option);

// "OPTION: expected a number of days greater than 0, found 0", or "" when
// `value` is greater than 0.
std::string positive_days_problem(double value, std::string_view option);

// "OPTION: expected a whole number of days greater than 0, found -3", or ""
// when `days` is greater than 0.
std::string whole_days_problem(long long days, std::string_view option);

// "OPTION: \"NAME\" is not one of rk4, dopri5, rkf78", or "" when `name`
// names an integrator (integrator_from_name).
std::string integrator_problem(const std::string& name, std::string_view option);

// What the embedded pairs' relative tolerance must be: a fraction between 0
// and 1, both excluded (not a number is refused).
inline constexpr std::string_view kRelativeToleranceExpected =
    "expected a relative tolerance greater than 0 and less than 1";
bool relative_tolerance_fits(double rtol);

// "OPTION: expected a relative tolerance greater than 0 and less than 1,
// found 2", or "" when `rtol` fits.
std::string relative_tolerance_problem(double rtol, std::string_view option);

}  // namespace vindrel
