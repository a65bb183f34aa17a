#include "study/indices_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

#include "fileio/number_format.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

std::string csv_number(double value) { return std::isfinite(value) ? shortest_text(value) : "NA"; }

std::string shown(double value) {
  if (!std::isfinite(value)) return "-";
  char buffer[kMaxGeneralLength];
  return std::string(buffer, format_general(buffer, value, 4));
}

std::string csv(const std::string& header, const std::vector<Factor>& factors,
                const std::vector<const std::vector<double>*>& columns) {
  std::string text = header;
  text.push_back('\n');
  for (std::size_t i = 0; i < factors.size(); ++i) {
    text += factors[i].name;
    for (const std::vector<double>* column : columns)
      text.append(",").append(csv_number((*column)[i]));
    text += '\n';
  }
  return text;
}

// Rows of cells, the first column left-aligned and the others right-aligned,
// two blanks apart.
std::string aligned(const std::vector<std::vector<std::string>>& cells) {
  std::vector<std::size_t> widths(cells.front().size(), 0);
  for (const auto& row : cells) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string text;
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::size_t padding = widths[c] - row[c].size();
      if (c == 0) {
        line.append(row[c]).append(padding, ' ');
      } else {
        line.append(2 + padding, ' ').append(row[c]);
      }
    }
    while (line.ends_with(' ')) line.pop_back();
    text.append(line).append(1, '\n');
  }
  return text;
}

// Factor positions from the largest to the smallest key; NaN last.
std::vector<std::size_t> ranking(const std::vector<double>& key) {
  std::vector<std::size_t> order(key.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const double x = std::isfinite(key[a]) ? key[a] : -INFINITY;
    const double y = std::isfinite(key[b]) ? key[b] : -INFINITY;
    return x > y;
  });
  return order;
}

std::string interval(double low, double high) {
  if (!std::isfinite(low) || !std::isfinite(high)) return "-";
  std::string text = shown(low);
  return text.append(" .. ").append(shown(high));
}

}  // namespace

std::string morris_csv(const std::vector<Factor>& factors, const MorrisIndices& indices) {
  return csv(
      "factor,mu,mu_star,sigma,mu_star_low,mu_star_high", factors,
      {&indices.mu, &indices.mu_star, &indices.sigma, &indices.mu_star_low, &indices.mu_star_high});
}

std::string sobol_csv(const std::vector<Factor>& factors, const SobolIndices& indices) {
  return csv("factor,S1,S1_low,S1_high,ST,ST_low,ST_high", factors,
             {&indices.first, &indices.first_low, &indices.first_high, &indices.total,
              &indices.total_low, &indices.total_high});
}

std::string morris_table(const std::vector<Factor>& factors, const MorrisIndices& indices) {
  std::vector<std::vector<std::string>> cells = {
      {"factor", "mu*", "95% interval of mu*", "mu", "sigma"}};
  for (const std::size_t i : ranking(indices.mu_star)) {
    cells.push_back({factors[i].name, shown(indices.mu_star[i]),
                     interval(indices.mu_star_low[i], indices.mu_star_high[i]),
                     shown(indices.mu[i]), shown(indices.sigma[i])});
  }
  return aligned(cells);
}

std::string sobol_table(const std::vector<Factor>& factors, const SobolIndices& indices) {
  std::vector<std::vector<std::string>> cells = {
      {"factor", "ST", "95% interval of ST", "S1", "95% interval of S1"}};
  for (const std::size_t i : ranking(indices.total)) {
    cells.push_back({factors[i].name, shown(indices.total[i]),
                     interval(indices.total_low[i], indices.total_high[i]), shown(indices.first[i]),
                     interval(indices.first_low[i], indices.first_high[i])});
  }
  return aligned(cells);
}

}  // namespace vindrel::study
