// vindrel-cli study: sensitivity and ensemble studies, from the sample to the
// runs and the indices.
#include <charconv>
#include <stdexcept>

#include "app/cli/commands.hpp"
#include "app/cli/study_commands.hpp"

namespace vindrel::cli {

std::uint64_t parse_seed(const std::string& text, std::string_view option) {
  std::uint64_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw std::runtime_error(std::string(option) +
                             ": expected a whole number from 0 to 18446744073709551615, found \"" +
                             text + "\"");
  }
  return seed;
}

void add_study_command(CLI::App& app, const std::string& command_line) {
  CLI::App* study = app.add_subcommand(
      "study", "Sensitivity and ensemble studies: sample factors, run the samples, analyse");
  study->require_subcommand(1);
  add_study_sample(*study);
  add_study_run(*study, command_line);
  add_study_merge(*study);
  add_study_analyze(*study);
}

}  // namespace vindrel::cli
