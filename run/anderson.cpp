#include "run/anderson.hpp"

#include <cmath>

namespace vindrel {
namespace {

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

// Solves the small symmetric system A y = b by Gaussian elimination with
// partial pivoting; false when it is singular.
bool solve(std::vector<std::vector<double>> a, std::vector<double>& b) {
  const std::size_t n = b.size();
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < n; ++r) {
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    }
    if (!(std::fabs(a[pivot][c]) > 0.0)) return false;
    std::swap(a[pivot], a[c]);
    std::swap(b[pivot], b[c]);
    for (std::size_t r = c + 1; r < n; ++r) {
      const double factor = a[r][c] / a[c][c];
      for (std::size_t k = c; k < n; ++k) a[r][k] -= factor * a[c][k];
      b[r] -= factor * b[c];
    }
  }
  for (std::size_t c = n; c-- > 0;) {
    for (std::size_t k = c + 1; k < n; ++k) b[c] -= a[c][k] * b[k];
    b[c] /= a[c][c];
  }
  return true;
}

}  // namespace

std::vector<double> AndersonMixing::next(const std::vector<double>& x,
                                         const std::vector<double>& fx) {
  const std::size_t n = x.size();
  std::vector<double> g(n);
  for (std::size_t i = 0; i < n; ++i) g[i] = fx[i] - x[i];
  if (!last_x_.empty()) {
    std::vector<double> dg(n);
    std::vector<double> df(n);
    for (std::size_t i = 0; i < n; ++i) {
      dg[i] = g[i] - (last_f_[i] - last_x_[i]);
      df[i] = fx[i] - last_f_[i];
    }
    dg_.push_back(std::move(dg));
    df_.push_back(std::move(df));
    if (dg_.size() > depth_) {
      dg_.pop_front();
      df_.pop_front();
    }
  }
  last_x_ = x;
  last_f_ = fx;
  std::vector<double> guess = fx;
  const std::size_t m = dg_.size();
  if (m == 0) return guess;
  // The coefficients that make the residual's least-squares fit: the normal
  // equations, with a touch of ridge so that nearly parallel steps stay solvable.
  std::vector<std::vector<double>> a(m, std::vector<double>(m));
  std::vector<double> b(m);
  double trace = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    for (std::size_t c = 0; c < m; ++c) a[r][c] = dot(dg_[r], dg_[c]);
    b[r] = dot(dg_[r], g);
    trace += a[r][r];
  }
  for (std::size_t r = 0; r < m; ++r) a[r][r] += 1e-12 * trace;
  if (!solve(a, b)) return guess;
  for (std::size_t k = 0; k < m; ++k) {
    for (std::size_t i = 0; i < n; ++i) guess[i] -= b[k] * df_[k][i];
  }
  return guess;
}

}  // namespace vindrel
