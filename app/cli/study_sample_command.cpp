// vindrel-cli study sample: the sample file of a study, one row of factor
// values per run, from a factors file and a design.
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/cli/file_clash.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/study_commands.hpp"
#include "core/model.hpp"
#include "study/analysis.hpp"
#include "study/factors.hpp"
#include "study/samplers.hpp"
#include "study/samples.hpp"

namespace vindrel::cli {
namespace {

struct SampleArguments {
  std::string method;
  std::string factors;
  long long n = 0;
  std::string seed = "0";
  int levels = 4;
  bool second_order = false;
  std::string out;
  const CLI::Option* levels_option = nullptr;
};

bool is_power_of_two(std::size_t n) { return n != 0 && (n & (n - 1)) == 0; }

void make_sample_file(const SampleArguments& arguments) {
  study::SampleOptions options;
  if (!study::parse_sample_method(arguments.method, options.method)) {
    throw UsageError("--method: expected oat, morris, sobol or lhs, found \"" + arguments.method +
                     "\"");
  }
  if (arguments.n < 1) {
    throw UsageError("--n: expected a whole number of at least 1, found " +
                     std::to_string(arguments.n));
  }
  options.n = static_cast<std::size_t>(arguments.n);
  options.seed = parse_seed(arguments.seed, "--seed");
  options.levels = arguments.levels;
  options.second_order = arguments.second_order;
  if (arguments.levels_option->count() > 0 && options.method != study::SampleMethod::kMorris) {
    throw UsageError("--levels: only the morris design has grid levels");
  }
  if (arguments.second_order && options.method != study::SampleMethod::kSobol) {
    throw UsageError("--second-order: only the sobol design has second-order rows");
  }
  refuse_overwriting_inputs({{"--factors", arguments.factors}}, {{"--out", arguments.out}});

  const std::vector<study::Factor> factors = study::read_factors(arguments.factors, make_model());
  const study::SampleTable table = study::make_sample(factors, options);
  study::write_samples(arguments.out, table);

  const std::size_t k = factors.size();
  std::cout << "Wrote " << study::count_text(table.rows.size(), "row", "rows") << " of "
            << study::count_text(k, "factor", "factors") << " to " << arguments.out << ": ";
  switch (options.method) {
    case study::SampleMethod::kOneAtATime:
      std::cout << "a base run at the middle of the ranges, then each factor alone at " << options.n
                << " levels from low to high\n";
      break;
    case study::SampleMethod::kMorris:
      std::cout << study::count_text(options.n, "Morris trajectory", "Morris trajectories")
                << " of " << k + 1 << " runs on a grid of " << options.levels << " levels\n";
      break;
    case study::SampleMethod::kSobol:
      std::cout << study::count_text(options.n, "base point", "base points")
                << " of the Sobol' sequence in Saltelli's scheme ("
                << (options.second_order ? 2 * k + 2 : k + 2) << " runs each"
                << (options.second_order ? ", with second-order rows" : "") << ")\n";
      if (!is_power_of_two(options.n)) {
        // The powers of two on either side of n.
        std::size_t below = 1;
        while (below * 2 < options.n) below *= 2;
        std::fprintf(stderr,
                     "vindrel-cli: warning: --n %zu is not a power of two; the Sobol' points "
                     "are evenly spread for a power of two: take --n %zu or --n %zu\n",
                     options.n, below, below * 2);
      }
      break;
    case study::SampleMethod::kLatinHypercube:
      std::cout << "a Latin hypercube of " << options.n << " runs\n";
      break;
  }
}

}  // namespace

void add_study_sample(CLI::App& study) {
  CLI::App* command = study.add_subcommand(
      "sample",
      "Write the sample file of a study: a header of factor names, then one row of factor values "
      "per run. The factors file has the header factor,low,high and one parameter or initial "
      "state per line (mF, state:Cf, parameter#12).");
  auto arguments = std::make_shared<SampleArguments>();
  command
      ->add_option("--method", arguments->method,
                   "Design: oat (one at a time), morris (trajectories), sobol (Saltelli's "
                   "scheme on a Sobol' sequence) or lhs (Latin hypercube)")
      ->required();
  command->add_option("--factors", arguments->factors, "Factors file (CSV: factor,low,high)")
      ->required();
  command
      ->add_option("--n", arguments->n,
                   "Size: levels per factor (oat), trajectories (morris), base points (sobol; "
                   "a power of two), runs (lhs)")
      ->required();
  command
      ->add_option("--seed", arguments->seed,
                   "Seed of the random choices of morris and lhs and of the random shift of "
                   "the Sobol' points (sobol); the same seed gives the same file on every "
                   "platform (oat uses no random numbers)")
      ->capture_default_str();
  arguments->levels_option =
      command->add_option("--levels", arguments->levels, "Morris grid levels, an even number")
          ->capture_default_str();
  command->add_flag("--second-order", arguments->second_order,
                    "Sobol: add the rows that second-order indices need (2k + 2 runs per point)");
  command->add_option("--out", arguments->out, "Sample file to write (CSV)")->required();
  command->callback([arguments] { make_sample_file(*arguments); });
}

}  // namespace vindrel::cli
