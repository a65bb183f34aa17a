// The checks of a run's options that the command line and the Python module
// both make, with their messages, and the settings those options give. The
// messages name the option as the caller spells it ("--step", "step").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "run/run_settings.hpp"

namespace vindrel {

struct Model;

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

// The times of a run from its options: the output step is the time step when
// not given; repeated drivers and the periodic reset are on when their days
// are given. The calculation time is the start time.
void set_run_times(RunSettings& settings, double start, double stop, double step,
                   std::optional<double> output_step, std::optional<std::int32_t> repeat_days,
                   std::optional<std::int32_t> reset_days);

// Reads the records of a driver file that a run up to `last_time` will look up
// (every record up to the first one after that time), so that a bad driver file
// is reported before the run replaces its output file. Throws EInOutError with
// the file, the line and what was expected, as the run would. Returns the
// absolute time of the last record read: the file's last record when it ends
// before `last_time`, else the first record after it; nothing when the file
// holds no record.
std::optional<double> last_driver_time_read(const std::string& file_name, const Model& model,
                                            double last_time);

}  // namespace vindrel
