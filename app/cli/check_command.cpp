// vindrel-cli check: what a run of a parameter file and a driver file with
// the given settings would refuse or warn about, without running it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
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
  RunArguments run;
  std::vector<std::string> variables;
};

void check(const CheckOptions& options) {
  // The states the run would start from; a file that cannot be read is one
  // of the findings.
  Model model = make_model();
  try {
    ReadParamFile(options.par, model);
  } catch (const EInOutError&) {
    // Said among the findings.
  }
  const PreparedRun prepared =
      prepare_run({model, options.par, options.drivers},
                  given_options(options.run, options.variables), kCommandLineSpelling);
  if (const Finding* mistake = prepared.usage_mistake()) throw UsageError(mistake->text);
  for (const Finding& finding : prepared.findings) {
    std::printf("%s: %s\n", finding.level == FindingLevel::kRefusal ? "refused" : "warning",
                finding_text(finding).c_str());
  }
  if (prepared.findings.empty()) std::printf("no findings\n");
  std::fflush(stdout);
  if (prepared.refused()) throw CLI::RuntimeError(kCheckRefused);
  if (!prepared.findings.empty()) throw CLI::RuntimeError(kCheckWarnings);
}

}  // namespace

void add_check_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "check",
      "Say what a run of these files and settings would refuse or warn about, one finding a "
      "line, without running it (exit 0: no findings, 1: refused, 2: a mistake in the command "
      "line, 3: warnings only; with --strict, warnings are refusals)");
  auto options = std::make_shared<CheckOptions>();
  cmd->add_option("--par", options->par, "Parameter file")->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  add_run_options(*cmd, options->run);
  cmd->add_option("--variables", options->variables,
                  "Output variables the run would write (as for run), checked by name")
      ->allow_extra_args(false);
  cmd->callback([options] { check(*options); });
}

}  // namespace vindrel::cli
