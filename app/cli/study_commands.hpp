// The subcommands of vindrel-cli study, one file each: sample, run, merge and
// analyze. study_command.cpp makes the "study" command and adds them to it.
#pragma once

#include <CLI/CLI.hpp>

namespace vindrel::cli {

void add_study_sample(CLI::App& study);
void add_study_analyze(CLI::App& study);
void add_study_run(CLI::App& study);
void add_study_merge(CLI::App& study);

}  // namespace vindrel::cli
