#include "study/samplers.hpp"

#include <algorithm>
#include <boost/random/sobol.hpp>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "core/enum_names.hpp"

namespace vindrel::study {
namespace {

// Boost's default direction numbers reach this many dimensions.
constexpr std::size_t kSobolMaxDimension = 3667;
// A design larger than this is surely a mistake on the command line.
constexpr std::size_t kMaxRows = 100'000'000;

using Rows = std::vector<std::vector<double>>;

Rows one_at_a_time(std::size_t k, std::size_t n) {
  Rows rows(1, std::vector<double>(k, 0.5));
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      std::vector<double> row(k, 0.5);
      row[i] = static_cast<double>(j) / static_cast<double>(n - 1);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

Rows morris(std::size_t k, std::size_t trajectories, int levels, std::uint64_t seed) {
  SeededUniform random(seed);
  const double step = 1.0 / static_cast<double>(levels - 1);
  const double delta = morris_delta(levels);
  // Starting levels: those at most 1 - delta, the lower half of the grid.
  const std::size_t start_levels = static_cast<std::size_t>(levels / 2);
  Rows rows;
  rows.reserve(trajectories * (k + 1));
  std::vector<std::size_t> order(k);
  for (std::size_t t = 0; t < trajectories; ++t) {
    // A random start, a random direction per factor and a random order of moves.
    std::vector<double> low_corner(k);
    std::vector<bool> upward(k);
    for (std::size_t i = 0; i < k; ++i) {
      low_corner[i] = static_cast<double>(random.below(start_levels)) * step;
      upward[i] = random.below(2) == 0;
    }
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = k; i > 1; --i) std::swap(order[i - 1], order[random.below(i)]);
    // A factor that moves down starts at the upper point of its pair.
    std::vector<double> point(k);
    for (std::size_t i = 0; i < k; ++i) point[i] = low_corner[i] + (upward[i] ? 0.0 : delta);
    rows.push_back(point);
    for (const std::size_t i : order) {
      point[i] = upward[i] ? low_corner[i] + delta : low_corner[i];
      rows.push_back(point);
    }
  }
  return rows;
}

Rows saltelli(std::size_t k, std::size_t n, bool second_order, std::uint64_t seed) {
  boost::random::sobol sequence(2 * k);
  // The random digital shift: one seeded 64-bit word per dimension.
  std::mt19937_64 engine(seed);
  std::vector<std::uint64_t> shift(2 * k);
  for (std::uint64_t& word : shift) word = engine();
  Rows rows;
  rows.reserve(n * (second_order ? 2 * k + 2 : k + 2));
  std::vector<double> a(k), b(k);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < 2 * k; ++i) {
      // Point 0 of the sequence is the origin, which Boost's generator does not give.
      const std::uint64_t bits = (j == 0 ? std::uint64_t{0} : sequence()) ^ shift[i];
      (i < k ? a[i] : b[i - k]) = static_cast<double>(bits >> 11U) * 0x1.0p-53;
    }
    rows.push_back(a);
    for (std::size_t i = 0; i < k; ++i) {
      rows.push_back(a);
      rows.back()[i] = b[i];
    }
    if (second_order) {
      for (std::size_t i = 0; i < k; ++i) {
        rows.push_back(b);
        rows.back()[i] = a[i];
      }
    }
    rows.push_back(b);
  }
  return rows;
}

Rows latin_hypercube(std::size_t k, std::size_t n, std::uint64_t seed) {
  SeededUniform random(seed);
  Rows rows(n, std::vector<double>(k));
  std::vector<std::size_t> strata(n);
  for (std::size_t i = 0; i < k; ++i) {
    std::iota(strata.begin(), strata.end(), std::size_t{0});
    for (std::size_t j = n; j > 1; --j) std::swap(strata[j - 1], strata[random.below(j)]);
    for (std::size_t j = 0; j < n; ++j) {
      rows[j][i] = (static_cast<double>(strata[j]) + random.next()) / static_cast<double>(n);
    }
  }
  return rows;
}

void check_options(std::size_t k, const SampleOptions& options) {
  if (k == 0) throw std::invalid_argument("a design needs at least one factor");
  if (options.n == 0) throw std::invalid_argument("--n must be at least 1");
  if (options.method == SampleMethod::kOneAtATime && options.n < 2) {
    throw std::invalid_argument("--n must be at least 2 for oat: the levels from low to high");
  }
  if (options.method == SampleMethod::kMorris &&
      (options.levels < 2 || options.levels % 2 != 0 || options.levels > 1000)) {
    throw std::invalid_argument("--levels must be an even number from 2 to 1000, not " +
                                std::to_string(options.levels));
  }
  if (options.method == SampleMethod::kSobol && 2 * k > kSobolMaxDimension) {
    throw std::invalid_argument("sobol takes at most " + std::to_string(kSobolMaxDimension / 2) +
                                " factors");
  }
  // Check the size without overflowing: rows = n times a small multiple of k.
  const std::size_t per_unit =
      design_rows(k, SampleOptions{options.method, 1, 0, 4, options.second_order});
  if (options.n > kMaxRows / per_unit) {
    throw std::invalid_argument("the design would have more than " + std::to_string(kMaxRows) +
                                " rows");
  }
}

constexpr EnumNames<SampleMethod, 4> kSampleMethodNames{{{
    {SampleMethod::kOneAtATime, "oat"},
    {SampleMethod::kMorris, "morris"},
    {SampleMethod::kSobol, "sobol"},
    {SampleMethod::kLatinHypercube, "lhs"},
}}};
}  // namespace

double SeededUniform::next() { return static_cast<double>(engine_() >> 11U) * 0x1.0p-53; }

std::size_t SeededUniform::below(std::size_t bound) {
  const std::uint64_t range = bound;
  // Draws below `threshold` would favour the small results; they are redrawn.
  const std::uint64_t threshold = (0 - range) % range;
  std::uint64_t draw = engine_();
  while (draw < threshold) draw = engine_();
  return static_cast<std::size_t>(draw % range);
}

bool parse_sample_method(std::string_view word, SampleMethod& method) {
  const std::optional<SampleMethod> parsed = kSampleMethodNames.parse(word);
  if (parsed) method = *parsed;
  return parsed.has_value();
}

std::string_view sample_method_name(SampleMethod method) { return kSampleMethodNames.name(method); }

double morris_delta(int levels) {
  return static_cast<double>(levels) / (2.0 * static_cast<double>(levels - 1));
}

std::size_t design_rows(std::size_t factor_count, const SampleOptions& options) {
  const std::size_t k = factor_count;
  switch (options.method) {
    case SampleMethod::kOneAtATime:
      return 1 + k * options.n;
    case SampleMethod::kMorris:
      return options.n * (k + 1);
    case SampleMethod::kSobol:
      return options.n * (options.second_order ? 2 * k + 2 : k + 2);
    case SampleMethod::kLatinHypercube:
      return options.n;
  }
  return 0;
}

std::vector<std::vector<double>> unit_design(std::size_t factor_count,
                                             const SampleOptions& options) {
  check_options(factor_count, options);
  switch (options.method) {
    case SampleMethod::kOneAtATime:
      return one_at_a_time(factor_count, options.n);
    case SampleMethod::kMorris:
      return morris(factor_count, options.n, options.levels, options.seed);
    case SampleMethod::kSobol:
      return saltelli(factor_count, options.n, options.second_order, options.seed);
    case SampleMethod::kLatinHypercube:
      return latin_hypercube(factor_count, options.n, options.seed);
  }
  return {};
}

SampleTable make_sample(const std::vector<Factor>& factors, const SampleOptions& options) {
  SampleTable table;
  for (const Factor& factor : factors) table.names.push_back(factor.name);
  table.rows = unit_design(factors.size(), options);
  for (std::vector<double>& row : table.rows) {
    for (std::size_t i = 0; i < factors.size(); ++i) {
      const double u = row[i];
      // The ends of the range exactly, whatever the rounding in between.
      row[i] = u <= 0.0   ? factors[i].low
               : u >= 1.0 ? factors[i].high
                          : factors[i].low + u * (factors[i].high - factors[i].low);
    }
  }
  return table;
}

}  // namespace vindrel::study
