// vindrel-cli study analyze: Morris or Sobol sensitivity indices of one metric
// of a study's results, as a table on standard output and as CSV.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/cli/file_clash.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/study_commands.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/safe_write.hpp"
#include "study/analysis.hpp"
#include "study/factors.hpp"
#include "study/indices_report.hpp"
#include "study/metric_values.hpp"
#include "study/samplers.hpp"
#include "study/samples.hpp"

namespace vindrel::cli {
namespace {

struct AnalyzeArguments {
  std::string method;
  std::string factors;
  std::string samples;
  std::string results;
  std::string metric;
  long long bootstrap = 1000;
  std::string seed = "0";
  int levels = 0;
  bool second_order = false;
  std::string out;
  const CLI::Option* levels_option = nullptr;
};

// With --levels: every step of the trajectories is +-delta of its range.
void check_morris_steps(const std::vector<study::Factor>& factors,
                        const study::SampleTable& samples, int levels) {
  if (levels < 2 || levels % 2 != 0) {
    throw UsageError("--levels: expected an even number of at least 2, found " +
                     std::to_string(levels));
  }
  const double delta = study::morris_delta(levels);
  const std::size_t size = factors.size() + 1;
  for (std::size_t run = 1; run < samples.rows.size(); ++run) {
    if (run % size == 0) continue;  // a new trajectory starts
    for (std::size_t i = 0; i < factors.size(); ++i) {
      const double step =
          (samples.rows[run][i] - samples.rows[run - 1][i]) / (factors[i].high - factors[i].low);
      if (step != 0.0 && std::abs(std::abs(step) - delta) > 1e-9) {
        throw std::runtime_error("runs " + std::to_string(run - 1) + " and " + std::to_string(run) +
                                 " move " + factors[i].name + " by " + std::to_string(step) +
                                 " of its range, not by delta = " + std::to_string(delta) +
                                 " of a grid of " + std::to_string(levels) + " levels");
      }
    }
  }
}

// What the results lack, in words: "runs 5 and 9 failed (run 5: ...); run 12
// has no value of nep; runs 40 to ... are not in the results".
std::string lacking(const study::MetricValues& values, const std::string& metric,
                    const std::string& results) {
  std::vector<std::string> parts;
  if (!values.failed.empty()) {
    parts.push_back(study::runs_text(values.failed) + " failed (run " +
                    std::to_string(values.failed.front()) + ": " + values.first_failure + ")");
  }
  if (!values.no_value.empty()) {
    parts.push_back(study::runs_text(values.no_value) + " gave no value of " + metric);
  }
  if (!values.missing.empty()) {
    parts.push_back(study::runs_text(values.missing) +
                    (values.missing.size() == 1 ? " is" : " are") + " not in " + results + " yet");
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

void analyze(const AnalyzeArguments& arguments) {
  const bool morris = arguments.method == "morris";
  if (!morris && arguments.method != "sobol") {
    throw UsageError("--method: expected morris or sobol, found \"" + arguments.method + "\"");
  }
  if (arguments.bootstrap < 0 || arguments.bootstrap > 1'000'000) {
    throw UsageError("--bootstrap: expected a number of resamples from 0 to 1000000, found " +
                     std::to_string(arguments.bootstrap));
  }
  if (arguments.levels_option->count() > 0 && !morris) {
    throw UsageError("--levels: only the morris design has grid levels");
  }
  if (arguments.second_order && morris) {
    throw UsageError("--second-order: only the sobol design has second-order rows");
  }
  const study::Bootstrap bootstrap{static_cast<std::size_t>(arguments.bootstrap),
                                   parse_seed(arguments.seed, "--seed")};
  refuse_overwriting_inputs({{"--factors", arguments.factors},
                             {"--samples", arguments.samples},
                             {"--results", arguments.results}},
                            {{"--out", arguments.out}});

  const std::vector<study::Factor> factors = study::read_factors(arguments.factors, make_model());
  const study::SampleTable samples = study::read_samples(arguments.samples, factors);
  const study::MetricValues values =
      study::read_metric_values(arguments.results, samples, arguments.metric);
  const std::string missing = lacking(values, arguments.metric, arguments.results);

  std::string csv;
  if (morris) {
    if (arguments.levels_option->count() > 0)
      check_morris_steps(factors, samples, arguments.levels);
    const study::MorrisIndices indices =
        study::analyze_morris(factors, samples.rows, values.values, bootstrap);
    if (!indices.dropped.empty()) {
      std::fprintf(stderr, "vindrel-cli: warning: %zu of %zu trajectories dropped: %s\n",
                   indices.dropped.size(), indices.dropped.size() + indices.trajectories,
                   missing.c_str());
    }
    std::cout << "Morris elementary effects of " << arguments.metric << ", per range of each "
              << "factor: "
              << study::count_text(indices.trajectories, "trajectory", "trajectories");
    if (!indices.dropped.empty()) std::cout << " (" << indices.dropped.size() << " dropped)";
    if (bootstrap.resamples > 0) std::cout << ", " << bootstrap.resamples << " bootstrap resamples";
    std::cout << "\n\n" << study::morris_table(factors, indices);
    csv = study::morris_csv(factors, indices);
  } else {
    if (!missing.empty()) {
      throw std::runtime_error("Sobol indices need a value from every run, and " + missing);
    }
    const study::SobolIndices indices = study::analyze_sobol(
        factors.size(), samples.rows, values.values, arguments.second_order, bootstrap);
    double sum = 0.0;
    for (const double first : indices.first) sum += first;
    std::cout << "Sobol indices of " << arguments.metric << ": "
              << study::count_text(indices.base_points, "base point", "base points") << ", "
              << study::count_text(samples.rows.size(), "run", "runs");
    if (bootstrap.resamples > 0) std::cout << ", " << bootstrap.resamples << " bootstrap resamples";
    std::cout << "\n\n"
              << study::sobol_table(factors, indices)
              << "\nSum of the first-order indices: " << general5_text(sum)
              << " (the rest of the variance comes from interactions)\n";
    csv = study::sobol_csv(factors, indices);
  }
  if (!arguments.out.empty()) write_file_atomically(arguments.out, csv);
}

}  // namespace

void add_study_analyze(CLI::App& study) {
  CLI::App* command = study.add_subcommand(
      "analyze",
      "Sensitivity indices of one metric of a study: Morris mu, mu* and sigma, or Sobol "
      "first-order and total indices, with bootstrap 95% intervals. Prints a table and writes "
      "CSV.");
  auto arguments = std::make_shared<AnalyzeArguments>();
  command->add_option("--method", arguments->method, "morris or sobol, as sampled")->required();
  command->add_option("--factors", arguments->factors, "Factors file of the study")->required();
  command->add_option("--samples", arguments->samples, "Sample file of the study")->required();
  command->add_option("--results", arguments->results, "Results file of the study")->required();
  command->add_option("--metric", arguments->metric, "Name of the metric to analyse")->required();
  command
      ->add_option("--bootstrap", arguments->bootstrap,
                   "Bootstrap resamples for the 95% intervals (0: none)")
      ->capture_default_str();
  command->add_option("--seed", arguments->seed, "Seed of the bootstrap resamples")
      ->capture_default_str();
  arguments->levels_option =
      command->add_option("--levels", arguments->levels,
                          "Morris: check that every step is delta of the grid of this many levels");
  command->add_flag("--second-order", arguments->second_order,
                    "Sobol: the sample has second-order rows (sampled with --second-order)");
  command->add_option("--out", arguments->out, "Indices file to write (CSV)");
  command->callback([arguments] { analyze(*arguments); });
}

}  // namespace vindrel::cli
