#include "app/cli/output_options.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string_view>

#include "app/cli/input_messages.hpp"

namespace vindrel::cli {

void add_output_options(CLI::App& command, OutputOptions& options, const std::string& files) {
  command
      .add_option("--variables", options.variables,
                  "Columns of " + files +
                      ", the time always first, separated by commas: symbols (LAI), "
                      "driver:SYMBOL, state:SYMBOL, process:SYMBOL, TABLE#N, and the groups "
                      "drivers, states, processes and summary (what vindrel-cli summary reads). "
                      "Only for the csv and netcdf formats: an .out file holds every column, "
                      "as its readers expect")
      ->allow_extra_args(false);
  command.add_option(
      "--format", options.format,
      "Format of " + files +
          ": out (the model's text, every column; the default), csv (a row of names, a row of "
          "units, then the records), or netcdf (CF conventions" +
          (netcdf_available() ? std::string(")") : std::string("; not in this build)")) +
          ". Without --format, a name ending in .csv or .nc chooses");
}

OutputChoice checked_output_choice(const OutputOptions& options, const std::string& file_name) {
  OutputChoice choice;
  if (options.format.empty()) {
    choice.format = output_format_of_file_name(file_name);
  } else if (const auto format = output_format_from_name(options.format)) {
    choice.format = *format;
  } else {
    throw UsageError("--format: \"" + options.format + "\" is not one of out, csv, netcdf");
  }
  if (choice.format == OutputFormat::kNetcdf && !netcdf_available()) {
    throw UsageError(
        (options.format.empty() ? file_name + ": a NetCDF output, but " : "--format netcdf: ") +
        std::string(kNetcdfMissing));
  }
  if (!options.variables.empty() && choice.format == OutputFormat::kOut) {
    throw UsageError(
        "--variables: the .out format holds every column, as its readers expect; write chosen "
        "variables as CSV or NetCDF (--format csv or netcdf, or an output name ending in .csv "
        "or .nc)");
  }
  return choice;
}

std::string command_line_text(int argc, const char* const* argv) {
  std::string text;
  for (int k = 0; k < argc; ++k) {
    const std::string_view argument = argv[k];
    if (k > 0) text += ' ';
    const bool plain =
        !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) ||
                 std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
        });
    if (plain) {
      text += argument;
      continue;
    }
    text += '\'';
    for (const char c : argument) {
      if (c == '\'') {
        text += "'\\''";
      } else {
        text += c;
      }
    }
    text += '\'';
  }
  return text;
}

std::unique_ptr<RecordSink> make_output_sink(const OutputChoice& choice,
                                             const std::string& file_name,
                                             const OutputMetadata& metadata) {
  if (choice.format == OutputFormat::kOut) return std::make_unique<OutputFileSink>(file_name);
  return std::make_unique<TableFileSink>(file_name, make_table_writer(choice.format),
                                         choice.columns, metadata);
}

}  // namespace vindrel::cli
