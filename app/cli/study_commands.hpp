// The subcommands of vindrel-cli study, one file each: sample, run, merge and
// analyze. study_command.cpp makes the "study" command and adds them to it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <string_view>

namespace vindrel::cli {

void add_study_sample(CLI::App& study);
void add_study_analyze(CLI::App& study);
void add_study_run(CLI::App& study, const std::string& command_line);
void add_study_merge(CLI::App& study);

// A seed option's value, a whole number from 0 to 2^64 - 1; throws
// std::runtime_error naming the option otherwise.
std::uint64_t parse_seed(const std::string& text, std::string_view option);

}  // namespace vindrel::cli
