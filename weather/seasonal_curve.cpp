#include "weather/seasonal_curve.hpp"

#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "weather/weather_generator.hpp"

namespace vindrel::weather {
namespace {

constexpr int kHarmonics = 3;
constexpr int kTerms = 1 + 2 * kHarmonics;  // constant, cosine and sine of each harmonic

using Row = std::array<double, kTerms>;

// The basis functions at a day of the year.
Row basis(int day_of_year) {
  Row row{};
  row[0] = 1.0;
  const double phase = 2.0 * std::numbers::pi * (day_of_year - 0.5) / kModelYearDays;
  for (int k = 1; k <= kHarmonics; ++k) {
    row[static_cast<std::size_t>(2 * k - 1)] = std::cos(k * phase);
    row[static_cast<std::size_t>(2 * k)] = std::sin(k * phase);
  }
  return row;
}

// Solves the square system a x = b by Gaussian elimination with partial pivoting.
Row solve(std::array<Row, kTerms> a, Row b) {
  for (std::size_t col = 0; col < kTerms; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < kTerms; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    if (std::fabs(a[pivot][col]) < 1e-12) throw std::logic_error("singular seasonal fit");
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (std::size_t r = col + 1; r < kTerms; ++r) {
      const double factor = a[r][col] / a[col][col];
      for (std::size_t c = col; c < kTerms; ++c) a[r][c] -= factor * a[col][c];
      b[r] -= factor * b[col];
    }
  }
  Row x{};
  for (std::size_t i = kTerms; i-- > 0;) {
    double sum = b[i];
    for (std::size_t c = i + 1; c < kTerms; ++c) sum -= a[i][c] * x[c];
    x[i] = sum / a[i][i];
  }
  return x;
}

}  // namespace

int month_of_day(int day_of_year) {
  int last = 0;
  for (int m = 0; m < 12; ++m) {
    last += kMonthLengths[static_cast<std::size_t>(m)];
    if (day_of_year <= last) return m;
  }
  return 11;
}

SeasonalCurve::SeasonalCurve(const std::array<double, 12>& monthly_means) {
  // Mean of each basis function over each month.
  std::array<Row, 12> month_mean{};
  int day = 1;
  for (std::size_t m = 0; m < 12; ++m) {
    for (int i = 0; i < kMonthLengths[m]; ++i, ++day) {
      const Row row = basis(day);
      for (std::size_t j = 0; j < kTerms; ++j) month_mean[m][j] += row[j] / kMonthLengths[m];
    }
  }
  // Least squares through the normal equations.
  std::array<Row, kTerms> normal{};
  Row rhs{};
  for (std::size_t m = 0; m < 12; ++m) {
    for (std::size_t i = 0; i < kTerms; ++i) {
      rhs[i] += month_mean[m][i] * monthly_means[m];
      for (std::size_t j = 0; j < kTerms; ++j) normal[i][j] += month_mean[m][i] * month_mean[m][j];
    }
  }
  const Row coefficients = solve(normal, rhs);
  for (int d = 1; d <= kModelYearDays; ++d) {
    const Row row = basis(d);
    double value = 0.0;
    for (std::size_t j = 0; j < kTerms; ++j) value += coefficients[j] * row[j];
    daily_[static_cast<std::size_t>(d)] = value;
  }
}

}  // namespace vindrel::weather
