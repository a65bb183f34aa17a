// vindrel-cli summary: the key annual figures of a run, year by year, read
// from its output file, as a table or as CSV.
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::cli {
namespace {

struct SummaryOptions {
  std::string file;  // given as the command's argument
  std::string out;   // given as --out
  bool csv = false;
  bool wide = false;
};

void summarise(const SummaryOptions& options) {
  if (options.file.empty() && options.out.empty()) {
    throw UsageError("name the output file of a run: vindrel-cli summary FILE.out");
  }
  if (!options.file.empty() && !options.out.empty() && options.file != options.out) {
    throw UsageError("two output files named, " + options.file + " and " + options.out +
                     "; the summary reads one");
  }
  const std::string& file = options.file.empty() ? options.out : options.file;
  const std::vector<YearFigures> years = summarise_output_file(file);
  std::cout << (options.csv ? format_summary_csv(years)
                            : format_summary_table(years, file, options.wide));
}

}  // namespace

void add_summary_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "summary", "Print the key annual figures of a run, year by year, from its output file");
  auto options = std::make_shared<SummaryOptions>();
  cmd->add_option("file", options->file,
                  "Output file of a run: .out, or CSV or NetCDF holding the columns the summary "
                  "reads (vindrel-cli run --variables summary writes them)");
  cmd->add_option("--out", options->out,
                  "Deprecated: name the file as the argument instead (everywhere else --out "
                  "names a file to write); still read as the file to summarise");
  cmd->add_flag("--csv", options->csv,
                "Print the figures as CSV (a header of names and units), the wide table's "
                "figures and each year's number of records included");
  cmd->add_flag("--wide", options->wide,
                "Add plant respiration, litter nitrogen, nitrogen fixation, and the plants' and "
                "the soil's carbon and nitrogen to the table");
  cmd->callback([options] { summarise(*options); });
}

}  // namespace vindrel::cli
