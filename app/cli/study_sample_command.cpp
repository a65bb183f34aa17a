// vindrel-cli study sample: not built yet.
#include <stdexcept>

#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

void add_study_sample(CLI::App& study) {
  CLI::App* command = study.add_subcommand("sample", "Not available yet");
  command->allow_extras();
  command->callback([] { throw std::runtime_error("study sample is not available yet"); });
}

}  // namespace vindrel::cli
