#include "study/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "study/samplers.hpp"

namespace vindrel::study {
namespace {

using Rows = std::vector<std::vector<double>>;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

void check_shape(const Rows& rows, const std::vector<double>& outputs, std::size_t k) {
  if (rows.size() != outputs.size()) {
    throw std::invalid_argument(std::to_string(rows.size()) + " sample rows but " +
                                std::to_string(outputs.size()) + " output values");
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != k) {
      throw std::invalid_argument("sample row " + std::to_string(r) + " has " +
                                  std::to_string(rows[r].size()) + " values for " +
                                  std::to_string(k) + " factors");
    }
  }
}

// Percentile interval of bootstrap estimates (replicate b of factor i at [i][b]).
void percentile_interval(std::vector<std::vector<double>>& estimates, std::vector<double>& low,
                         std::vector<double>& high) {
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    // A resample whose outputs do not vary gives no estimate.
    std::erase_if(estimates[i], [](double value) { return !std::isfinite(value); });
    if (estimates[i].empty()) continue;
    low[i] = quantile(estimates[i], 0.025);
    high[i] = quantile(estimates[i], 0.975);
  }
}

}  // namespace

std::string runs_text(const std::vector<std::size_t>& runs) {
  constexpr std::size_t kShown = 20;
  std::string text = runs.size() == 1 ? "run " : "runs ";
  for (std::size_t i = 0; i < runs.size() && i < kShown; ++i) {
    if (i > 0) text += (i + 1 == runs.size()) ? " and " : ", ";
    text += std::to_string(runs[i]);
  }
  if (runs.size() > kShown) text += " and " + std::to_string(runs.size() - kShown) + " more";
  return text;
}

std::string count_text(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

double quantile(std::vector<double>& values, double probability) {
  if (values.empty()) return kNan;
  std::sort(values.begin(), values.end());
  const double h = static_cast<double>(values.size() - 1) * probability;
  const auto below = static_cast<std::size_t>(std::floor(h));
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (h - static_cast<double>(below)) * (values[below + 1] - values[below]);
}

MorrisIndices analyze_morris(const std::vector<Factor>& factors, const Rows& rows,
                             const std::vector<double>& outputs, const Bootstrap& bootstrap) {
  const std::size_t k = factors.size();
  check_shape(rows, outputs, k);
  const std::size_t size = k + 1;
  if (k == 0 || rows.empty() || rows.size() % size != 0) {
    throw std::invalid_argument("the sample has " + count_text(rows.size(), "row", "rows") +
                                ": Morris trajectories of " + count_text(k, "factor", "factors") +
                                " come in groups of " + std::to_string(size) + " rows");
  }
  const std::size_t trajectories = rows.size() / size;
  MorrisIndices result;
  // effects[t][i]: the elementary effect of factor i in used trajectory t.
  std::vector<std::vector<double>> effects;
  std::vector<double> effect(k);
  std::vector<bool> moved(k);
  for (std::size_t t = 0; t < trajectories; ++t) {
    const std::size_t first = t * size;
    std::fill(moved.begin(), moved.end(), false);
    bool complete = std::isfinite(outputs[first]);
    for (std::size_t step = 1; step < size; ++step) {
      const std::size_t run = first + step;
      std::vector<std::size_t> changed;
      for (std::size_t i = 0; i < k; ++i) {
        if (rows[run][i] != rows[run - 1][i]) changed.push_back(i);
      }
      if (changed.size() != 1 || moved[changed.front()]) {
        std::string what = changed.empty() ? "no factor" : "";
        for (std::size_t c = 0; c < changed.size(); ++c) {
          what += (c > 0 ? ", " : "") + factors[changed[c]].name;
        }
        if (changed.size() == 1) what += " a second time in its trajectory";
        throw std::invalid_argument(
            "runs " + std::to_string(run - 1) + " and " + std::to_string(run) + " change " + what +
            ": each step of a Morris trajectory moves one factor, each factor once");
      }
      const std::size_t i = changed.front();
      moved[i] = true;
      const double unit_step =
          (rows[run][i] - rows[run - 1][i]) / (factors[i].high - factors[i].low);
      effect[i] = (outputs[run] - outputs[run - 1]) / unit_step;
      complete = complete && std::isfinite(outputs[run]);
    }
    if (complete) {
      effects.push_back(effect);
    } else {
      result.dropped.push_back(t);
    }
  }
  if (effects.empty()) {
    throw std::invalid_argument(trajectories == 1
                                    ? std::string("the only trajectory has a run without a result")
                                    : "every one of the " + std::to_string(trajectories) +
                                          " trajectories has a run without a result");
  }
  const auto r = effects.size();
  result.trajectories = r;
  result.mu.assign(k, 0.0);
  result.mu_star.assign(k, 0.0);
  result.sigma.assign(k, kNan);
  result.mu_star_low.assign(k, kNan);
  result.mu_star_high.assign(k, kNan);
  for (std::size_t i = 0; i < k; ++i) {
    double sum = 0.0, sum_abs = 0.0;
    for (const std::vector<double>& e : effects) {
      sum += e[i];
      sum_abs += std::abs(e[i]);
    }
    result.mu[i] = sum / static_cast<double>(r);
    result.mu_star[i] = sum_abs / static_cast<double>(r);
    if (r > 1) {
      double squares = 0.0;
      for (const std::vector<double>& e : effects) {
        squares += (e[i] - result.mu[i]) * (e[i] - result.mu[i]);
      }
      result.sigma[i] = std::sqrt(squares / static_cast<double>(r - 1));
    }
  }
  if (bootstrap.resamples > 0) {
    SeededUniform random(bootstrap.seed);
    std::vector<std::vector<double>> estimates(k, std::vector<double>(bootstrap.resamples));
    std::vector<double> sums(k);
    for (std::size_t b = 0; b < bootstrap.resamples; ++b) {
      std::fill(sums.begin(), sums.end(), 0.0);
      for (std::size_t draw = 0; draw < r; ++draw) {
        const std::vector<double>& e = effects[random.below(r)];
        for (std::size_t i = 0; i < k; ++i) sums[i] += std::abs(e[i]);
      }
      for (std::size_t i = 0; i < k; ++i) estimates[i][b] = sums[i] / static_cast<double>(r);
    }
    percentile_interval(estimates, result.mu_star_low, result.mu_star_high);
  }
  return result;
}

namespace {

// The outputs of a Saltelli design by matrix, centred: a[j], b[j], ab[i][j].
struct SaltelliOutputs {
  std::vector<double> a, b;
  std::vector<std::vector<double>> ab;
};

// S_i and ST_i over the base points `points` (indices into the outputs, drawn
// with replacement by the bootstrap).
void estimate(const SaltelliOutputs& y, const std::vector<std::size_t>* points,
              std::vector<double>& first, std::vector<double>& total) {
  const std::size_t n = y.a.size();
  const auto at = [&](std::size_t j) { return points ? (*points)[j] : j; };
  double sum = 0.0, squares = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    sum += y.a[at(j)] + y.b[at(j)];
    squares += y.a[at(j)] * y.a[at(j)] + y.b[at(j)] * y.b[at(j)];
  }
  const double count = 2.0 * static_cast<double>(n);
  const double mean = sum / count;
  const double variance = squares / count - mean * mean;
  for (std::size_t i = 0; i < y.ab.size(); ++i) {
    double first_sum = 0.0, total_sum = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t p = at(j);
      first_sum += y.b[p] * (y.ab[i][p] - y.a[p]);
      total_sum += (y.a[p] - y.ab[i][p]) * (y.a[p] - y.ab[i][p]);
    }
    first[i] = first_sum / static_cast<double>(n) / variance;
    total[i] = total_sum / static_cast<double>(n) / (2.0 * variance);
  }
}

}  // namespace

SobolIndices analyze_sobol(std::size_t k, const Rows& rows, const std::vector<double>& outputs,
                           bool second_order, const Bootstrap& bootstrap) {
  check_shape(rows, outputs, k);
  const std::size_t size = second_order ? 2 * k + 2 : k + 2;
  if (k == 0 || rows.empty() || rows.size() % size != 0) {
    throw std::invalid_argument("the sample has " + count_text(rows.size(), "row", "rows") +
                                ": a Saltelli design of " + count_text(k, "factor", "factors") +
                                " comes in groups of " + std::to_string(size) + " rows" +
                                (second_order ? " (second order)" : ""));
  }
  const std::size_t n = rows.size() / size;
  for (std::size_t j = 0; j < n; ++j) {
    const std::vector<double>& a = rows[j * size];
    const std::vector<double>& b = rows[j * size + size - 1];
    for (std::size_t i = 0; i < k; ++i) {
      const std::vector<double>& ab = rows[j * size + 1 + i];
      for (std::size_t c = 0; c < k; ++c) {
        if (ab[c] != (c == i ? b[c] : a[c])) {
          throw std::invalid_argument(
              "run " + std::to_string(j * size + 1 + i) + " is not run " +
              std::to_string(j * size) + " with factor " + std::to_string(i + 1) +
              " taken from run " + std::to_string(j * size + size - 1) +
              ": the sample is not a Saltelli design of these factors" +
              (second_order ? " with second-order rows" : " without second-order rows"));
        }
      }
    }
  }
  std::vector<std::size_t> missing;
  for (std::size_t run = 0; run < outputs.size(); ++run) {
    if (!std::isfinite(outputs[run])) missing.push_back(run);
  }
  if (!missing.empty()) {
    throw std::invalid_argument("Sobol indices need a result from every run; " +
                                runs_text(missing) + " have none");
  }
  // Centre on the mean of the A and B outputs: the estimators' noise grows
  // with the outputs' offset from zero.
  double sum = 0.0;
  for (std::size_t j = 0; j < n; ++j) sum += outputs[j * size] + outputs[j * size + size - 1];
  const double mean = sum / (2.0 * static_cast<double>(n));
  SaltelliOutputs y;
  y.a.resize(n);
  y.b.resize(n);
  y.ab.assign(k, std::vector<double>(n));
  for (std::size_t j = 0; j < n; ++j) {
    y.a[j] = outputs[j * size] - mean;
    y.b[j] = outputs[j * size + size - 1] - mean;
    for (std::size_t i = 0; i < k; ++i) y.ab[i][j] = outputs[j * size + 1 + i] - mean;
  }
  SobolIndices result;
  result.base_points = n;
  double squares = 0.0;
  for (std::size_t j = 0; j < n; ++j) squares += y.a[j] * y.a[j] + y.b[j] * y.b[j];
  result.variance = squares / (2.0 * static_cast<double>(n));
  if (!(result.variance > 0.0)) {
    throw std::invalid_argument(
        "the output is the same in every run: there is no variance to "
        "apportion among the factors");
  }
  result.first.assign(k, kNan);
  result.total.assign(k, kNan);
  estimate(y, nullptr, result.first, result.total);
  result.first_low.assign(k, kNan);
  result.first_high.assign(k, kNan);
  result.total_low.assign(k, kNan);
  result.total_high.assign(k, kNan);
  if (bootstrap.resamples > 0) {
    SeededUniform random(bootstrap.seed);
    std::vector<std::vector<double>> firsts(k, std::vector<double>(bootstrap.resamples));
    std::vector<std::vector<double>> totals = firsts;
    std::vector<std::size_t> points(n);
    std::vector<double> first(k), total(k);
    for (std::size_t b = 0; b < bootstrap.resamples; ++b) {
      for (std::size_t& point : points) point = random.below(n);
      estimate(y, &points, first, total);
      for (std::size_t i = 0; i < k; ++i) {
        firsts[i][b] = first[i];
        totals[i][b] = total[i];
      }
    }
    percentile_interval(firsts, result.first_low, result.first_high);
    percentile_interval(totals, result.total_low, result.total_high);
  }
  return result;
}

}  // namespace vindrel::study
