// vindrel-cli study: sensitivity and ensemble studies, from the sample to the
// runs and the indices.
#include "app/cli/commands.hpp"
#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

void add_study_command(CLI::App& app) {
  CLI::App* study = app.add_subcommand(
      "study", "Sensitivity and ensemble studies: sample factors, run the samples, analyse");
  study->require_subcommand(1);
  add_study_sample(*study);
  add_study_run(*study);
  add_study_merge(*study);
  add_study_analyze(*study);
}

}  // namespace vindrel::cli
