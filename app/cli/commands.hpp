// Subcommands of vindrel-cli. Each lives in a file of its own and adds itself
// to the application; a command's callback throws on failure and main() turns
// the exception into "vindrel-cli: error: ..." and a non-zero exit.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace vindrel::cli {

void add_list_command(CLI::App& app);
// `command_line`: the program's command line as typed, which the NetCDF
// outputs of `run` and `study run` record in their history.
void add_run_command(CLI::App& app, const std::string& command_line);
void add_eval_command(CLI::App& app);
void add_weather_command(CLI::App& app);
void add_summary_command(CLI::App& app);
void add_par_command(CLI::App& app);
void add_check_command(CLI::App& app);
void add_spinup_command(CLI::App& app);
void add_study_command(CLI::App& app, const std::string& command_line);

}  // namespace vindrel::cli
