// Smooth seasonal curves over the model's 366-day year, fitted to monthly means.
#pragma once

#include <array>

namespace vindrel::weather {

// Month (0 = January to 11 = December) of a day of the 366-day year (1 to 366).
int month_of_day(int day_of_year);

// A curve of three annual harmonics whose means over the months of the
// 366-day year match twelve monthly values as closely as three harmonics can
// (least squares). Smooth from day to day and from December back to January.
class SeasonalCurve {
 public:
  explicit SeasonalCurve(const std::array<double, 12>& monthly_means);

  // The curve's value on a day of the year, 1 to 366.
  double at(int day_of_year) const { return daily_[static_cast<std::size_t>(day_of_year)]; }

 private:
  std::array<double, 367> daily_{};  // 1-based by day of the year
};

}  // namespace vindrel::weather
