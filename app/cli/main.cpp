// vindrel-cli: runs, evaluations and listings of the model without a display.
#include <cstdio>
#include <exception>
#include <iostream>

#include "app/cli/commands.hpp"
#include "core/model.hpp"

int main(int argc, char** argv) {
  const vindrel::Model model = vindrel::MakeModel();
  CLI::App app{"Vindrel forest ecosystem model, without a display", "vindrel-cli"};
  app.set_version_flag("--version", model.ModelInfo.ModelName + " " + model.ModelInfo.ModelVersion);
  app.require_subcommand(1);

  vindrel::cli::add_list_command(app);
  vindrel::cli::add_run_command(app);
  vindrel::cli::add_eval_command(app);
  vindrel::cli::add_weather_command(app);
  vindrel::cli::add_summary_command(app);
  vindrel::cli::add_par_command(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::cout.flush();
    std::fprintf(stderr, "vindrel-cli: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
