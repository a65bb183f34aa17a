// vindrel-cli study merge: not built yet.
#include <stdexcept>

#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

void add_study_merge(CLI::App& study) {
  CLI::App* command = study.add_subcommand("merge", "Not available yet");
  command->allow_extras();
  command->callback([] { throw std::runtime_error("study merge is not available yet"); });
}

}  // namespace vindrel::cli
