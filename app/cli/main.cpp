// vindrel-cli: runs, evaluations and listings of the model without a display.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/interrupt.hpp"
#include "app/cli/output_options.hpp"
#include "core/model.hpp"

int main(int argc, char** argv) {
  const vindrel::Model model = vindrel::make_model();
  CLI::App app{"Vindrel forest ecosystem model, without a display", "vindrel-cli"};
  app.set_version_flag("--version", model.ModelInfo.ModelName + " " + model.ModelInfo.ModelVersion);
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 done; 1 refused by the check, or failed; 2 a mistake in the command line; "
      "3 warnings only (check) or failed runs (study run); 130, 143 or 129 after Ctrl-C, "
      "SIGTERM or SIGHUP.");
  // Usage errors read like every other error of the program.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("vindrel-cli: error: ") + e.what() +
           "\nRun with --help for more information.\n";
  });

  vindrel::cli::add_list_command(app);
  const std::string command_line = vindrel::cli::command_line_text(argc, argv);
  vindrel::cli::add_run_command(app, command_line);
  vindrel::cli::add_eval_command(app);
  vindrel::cli::add_check_command(app);
  vindrel::cli::add_spinup_command(app);
  vindrel::cli::add_weather_command(app);
  vindrel::cli::add_summary_command(app);
  vindrel::cli::add_par_command(app);
  vindrel::cli::add_study_command(app, command_line);

  // The first word that is not an option names the command; one the program
  // does not have is named, with the commands it has.
  if (argc > 1 && argv[1][0] != '-') {
    const std::string word = argv[1];
    std::string commands;
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({})) {
      known = known || command->get_name() == word;
      commands += (commands.empty() ? "" : ", ") + command->get_name();
    }
    if (!known) {
      std::fprintf(stderr,
                   "vindrel-cli: error: \"%s\" is not a command; the commands are %s\nRun with "
                   "--help for more information.\n",
                   word.c_str(), commands.c_str());
      return 2;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    // A command that has said what happened and only sets the exit code. One
    // stopped by a signal exits as the signal would have ended it: 130 after
    // Ctrl-C, 143 after SIGTERM, 129 after SIGHUP.
    if (e.get_exit_code() == 130) return vindrel::cli::InterruptGuard::exit_status();
    return e.get_exit_code();
  } catch (const vindrel::cli::UsageError& e) {
    // A mistake in the command line that the command's own checks found.
    std::fprintf(stderr, "vindrel-cli: error: %s\n", e.what());
    return vindrel::cli::kUsageMistake;
  } catch (const CLI::ParseError& e) {
    // --help and --version end parsing with code 0; a usage error exits with 2.
    return app.exit(e) == 0 ? 0 : vindrel::cli::kUsageMistake;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::fprintf(stderr, "vindrel-cli: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
