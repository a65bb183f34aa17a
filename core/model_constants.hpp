// The model's calendar and the driver and state values that carry a meaning
// of their own. Everything that needs one of them uses it by these names.
#pragma once

#include <cmath>
#include <cstdint>

namespace vindrel {

// The model's year is 366 days long. Its annual reset of the clocks and
// running totals follows the step whose truncated end time is a multiple of
// 366, so year k holds the times 366 (k - 1) < t <= 366 k.
inline constexpr int kModelYearDays = 366;

// A driver value of exactly -1 prescribes nothing: the model computes the
// quantity itself.
inline constexpr double kNotPrescribed = -1.0;

// A senescence start day of 999 means that senescence has not begun this year.
inline constexpr double kSenescenceNotStarted = 999.0;

// True when a driver value prescribes the quantity.
inline constexpr bool is_prescribed(double driver_value) { return driver_value != kNotPrescribed; }

// True when `time` ends a model year: its truncated value (towards zero) is a
// multiple of the year's length, so the next evaluation starts a new year.
inline bool ends_model_year(double time) {
  return static_cast<std::int64_t>(time) % kModelYearDays == 0;
}

// Day of the model's year (1 to 366) on which a record at `time` falls: day
// ((floor(t) - 1) mod 366) + 1, also for times before the first year.
inline int day_of_model_year(double time) {
  const auto whole = static_cast<long long>(std::floor(time));
  long long r = (whole - 1) % kModelYearDays;
  if (r < 0) r += kModelYearDays;
  return static_cast<int>(r) + 1;
}

}  // namespace vindrel
