// vindrel-cli study analyze: not built yet.
#include <stdexcept>

#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

void add_study_analyze(CLI::App& study) {
  CLI::App* command = study.add_subcommand("analyze", "Not available yet");
  command->allow_extras();
  command->callback([] { throw std::runtime_error("study analyze is not available yet"); });
}

}  // namespace vindrel::cli
