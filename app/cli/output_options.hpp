// The options that choose what a run's output holds and in which format, for
// `run` and `study run` alike: --variables and --format.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/formats/output_format.hpp"
#include "run/record_sink.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {

struct OutputOptions {
  std::vector<std::string> variables;  // each --variables given
  std::string format;                  // empty: from the output file's name
};

// Declares --variables and --format on a command, storing into `options`
// (which must outlive the command). `files` says what the format applies to
// in the help ("the output file", "the kept outputs").
void add_output_options(CLI::App& command, OutputOptions& options, const std::string& files);

// What the output holds and how it is written, once checked.
struct OutputChoice {
  OutputFormat format = OutputFormat::kOut;
  std::vector<std::size_t> columns;  // positions in the output record; empty: every column
};

// Checks the format (and that chosen variables are not asked of an .out
// file); the columns are the prepared run's (PreparedRun::columns), set by the
// caller. `file_name` (may be empty) gives the format when --format does not.
// Throws UsageError naming the option: an unknown format, NetCDF in a program
// built without it, and a chosen set of variables in the .out format.
OutputChoice checked_output_choice(const OutputOptions& options, const std::string& file_name);

// The command line as a shell would take it back: each argument that holds
// anything but letters, digits and "-_./=:,+@%" is put in single quotes.
std::string command_line_text(int argc, const char* const* argv);

// The sink that writes a run's records to `file_name` as chosen. The CSV and
// NetCDF files record the run settings and the inputs' hashes (NetCDF only).
std::unique_ptr<RecordSink> make_output_sink(const OutputChoice& choice,
                                             const std::string& file_name,
                                             const OutputMetadata& metadata);

}  // namespace vindrel::cli
