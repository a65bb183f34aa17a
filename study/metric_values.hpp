// One metric of a study's results file, as the analysis needs it: one value
// per sample row, and which runs have none.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "study/samples.hpp"

namespace vindrel::study {

struct MetricValues {
  std::vector<double> values;         // one per sample row; NaN for a run without a value
  std::vector<std::size_t> failed;    // runs recorded as failed
  std::vector<std::size_t> missing;   // runs the results file does not hold (yet)
  std::vector<std::size_t> no_value;  // completed runs whose metric is not a finite number
  std::string first_failure;          // the message of the first failed run
};

// Reads the metric `metric` of `results_file` for the rows of `samples`.
// Throws EInOutError with the file and the line when a completed run's value
// is not a number (nan and the infinities are runs without a value), when the
// header's factors are
// not the sample's, when it has no such metric (naming those it has), when a
// run appears twice, and when a row's factor values are not those of the
// sample's row of the same index.
MetricValues read_metric_values(const std::string& results_file, const SampleTable& samples,
                                const std::string& metric);

}  // namespace vindrel::study
