// vindrel-cli study merge: joins the results files of a study's shards into the
// results file the study would have written in one piece.
#include <memory>
#include <string>
#include <vector>

#include "app/cli/file_clash.hpp"
#include "app/cli/study_commands.hpp"
#include "core/model.hpp"
#include "study/factors.hpp"
#include "study/results_file.hpp"
#include "study/samples.hpp"

namespace vindrel::cli {
namespace {

struct StudyMergeOptions {
  std::vector<std::string> parts;
  std::string out;
  std::string samples;
  std::string factors;
};

void merge(const StudyMergeOptions& options) {
  refuse_overwriting_inputs({{"--samples", options.samples}, {"--factors", options.factors}},
                            {{"--out", options.out}});
  for (const std::string& part : options.parts) {
    refuse_overwriting_inputs({{"PART", part}}, {{"--out", options.out}});
  }
  if (options.samples.empty()) {
    study::merge_results(options.parts, options.out);
    return;
  }
  // With the sample, every row must be there, with the sample's values.
  Model model = make_model();
  const std::vector<study::Factor> factors = study::read_factors(options.factors, model);
  const study::SampleTable samples = study::read_samples(options.samples, factors);
  study::merge_results(options.parts, options.out, &samples, options.factors);
}

}  // namespace

void add_study_merge(CLI::App& study) {
  CLI::App* command = study.add_subcommand(
      "merge", "Join the results files of a study's shards into one, rows in sample order");
  auto options = std::make_shared<StudyMergeOptions>();
  command->add_option("PART", options->parts, "Results files of the shards")->required();
  command->add_option("--out", options->out, "Results file to write")->required();
  auto* samples = command->add_option(
      "--samples", options->samples,
      "Sample file of the study: checks that no row is missing, the last ones included");
  auto* factors = command->add_option("--factors", options->factors,
                                      "Factors file naming the sample's columns");
  samples->needs(factors);
  factors->needs(samples);
  command->callback([options] { merge(*options); });
}

}  // namespace vindrel::cli
