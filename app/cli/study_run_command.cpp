// vindrel-cli study run: not built yet.
#include <stdexcept>

#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

void add_study_run(CLI::App& study) {
  CLI::App* command = study.add_subcommand("run", "Not available yet");
  command->allow_extras();
  command->callback([] { throw std::runtime_error("study run is not available yet"); });
}

}  // namespace vindrel::cli
