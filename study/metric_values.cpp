#include "study/metric_values.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "core/exceptions.hpp"
#include "fileio/number_format.hpp"
#include "study/results_file.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

constexpr std::size_t kFixedColumns = 3;  // run, status, message

std::string joined(const std::vector<std::string_view>& names) {
  std::string text;
  for (const std::string_view name : names) text += (text.empty() ? "" : ", ") + std::string(name);
  return text;
}

}  // namespace

MetricValues read_metric_values(const std::string& results_file, const SampleTable& samples,
                                const std::string& metric) {
  const ResultsFile results = read_results(results_file);
  std::string_view header = results.header;
  header.remove_suffix(1);  // its LF
  if (header.ends_with('\r')) header.remove_suffix(1);
  const std::vector<std::string_view> columns = split_commas(header);
  const std::size_t k = samples.names.size();
  bool same_factors = columns.size() >= kFixedColumns + k;
  for (std::size_t i = 0; same_factors && i < k; ++i) {
    same_factors = columns[kFixedColumns + i] == samples.names[i];
  }
  if (!same_factors) {
    std::string expected = "run,status,message";
    for (const std::string& name : samples.names) expected += "," + name;
    throw EInOutError("expected the header to start \"" + expected +
                          "\" (the sample's factors), found " + quoted(header),
                      results_file, 1);
  }
  const std::vector<std::string_view> metrics(
      columns.begin() + static_cast<long>(kFixedColumns + k), columns.end());
  std::size_t column = 0;
  for (std::size_t m = 0; m < metrics.size(); ++m) {
    if (metrics[m] == metric) column = kFixedColumns + k + m;
  }
  if (column == 0) {
    throw EInOutError("no metric " + quoted(metric) + " in the results; " +
                          (metrics.empty() ? "it has none" : "its metrics are " + joined(metrics)),
                      results_file, 1);
  }

  MetricValues result;
  result.values.assign(samples.rows.size(), std::numeric_limits<double>::quiet_NaN());
  std::vector<std::size_t> line_of(samples.rows.size(), 0);
  for (const ResultsRow& row : results.rows) {
    check_row_matches_sample(row, samples, results_file);
    if (line_of[row.run] != 0) {
      throw EInOutError(
          "run " + std::to_string(row.run) + " is also on line " + std::to_string(line_of[row.run]),
          results_file, row.line);
    }
    line_of[row.run] = row.line;
    if (!row.completed()) {
      if (result.failed.empty()) result.first_failure = row.fields[2];
      result.failed.push_back(row.run);
      continue;
    }
    double value = 0.0;
    if (!parse_number(row.fields[column], value)) {
      throw EInOutError("expected a number or nan for " + quoted(metric) + " of run " +
                            std::to_string(row.run) + ", found " + quoted(row.fields[column]),
                        results_file, row.line);
    }
    if (std::isfinite(value)) {
      result.values[row.run] = value;
    } else {
      result.no_value.push_back(row.run);
    }
  }
  for (std::size_t run = 0; run < line_of.size(); ++run) {
    if (line_of[run] == 0) result.missing.push_back(run);
  }
  std::sort(result.failed.begin(), result.failed.end());
  std::sort(result.no_value.begin(), result.no_value.end());
  return result;
}

}  // namespace vindrel::study
