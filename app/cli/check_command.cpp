// vindrel-cli check: what a run of a parameter file and a driver file with
// the given settings would refuse or warn about, without running it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.hpp"
#include "app/cli/run_options.hpp"
#include "check/findings.hpp"
#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/param_file.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {
namespace {

struct CheckOptions {
  std::string par;
  std::string drivers;
  RunOptions run;
};

// Exit status: 0 when clean, 1 when something would be refused, 2 for
// warnings only.
void check(const CheckOptions& options) {
  RunSettings settings = checked_run_settings(options.run);
  settings.parameter_file = options.par;
  settings.driver_file = options.drivers;

  // The states the run would start from; a file that cannot be read is one
  // of the findings.
  Model model = make_model();
  try {
    ReadParamFile(options.par, model);
  } catch (const EInOutError&) {
    // Said among the findings.
  }
  apply_state_lists(options.run, model);
  const std::vector<Finding> findings = check_run_inputs(model, settings);
  for (const Finding& finding : findings) {
    std::printf("%s: %s\n", finding.level == FindingLevel::kRefusal ? "refused" : "warning",
                finding_text(finding).c_str());
  }
  if (findings.empty()) std::printf("no findings\n");
  std::fflush(stdout);
  if (any_refusal(findings)) throw CLI::RuntimeError(1);
  if (!findings.empty()) throw CLI::RuntimeError(2);
}

}  // namespace

void add_check_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "check",
      "Say what a run of these files and settings would refuse or warn about, one finding a "
      "line, without running it (exit 0: none, 1: refused, 2: warnings only)");
  auto options = std::make_shared<CheckOptions>();
  cmd->add_option("--par", options->par, "Parameter file")->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  add_run_options(*cmd, options->run);
  cmd->callback([options] { check(*options); });
}

}  // namespace vindrel::cli
