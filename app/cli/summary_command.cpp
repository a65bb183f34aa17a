// vindrel-cli summary: the key annual figures of a run, year by year, read
// from its output file, as a table or as CSV.
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/commands.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::cli {

void add_summary_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "summary", "Print the key annual figures of a run, year by year, from its output file");
  auto out = std::make_shared<std::string>();
  auto csv = std::make_shared<bool>(false);
  cmd->add_option("--out", *out, "Output file of a run (.out)")->required();
  cmd->add_flag("--csv", *csv, "Print the figures as CSV (a header of names and units)");
  cmd->callback([out, csv] {
    const std::vector<YearFigures> years = summarise_output_file(*out);
    std::cout << (*csv ? format_summary_csv(years) : format_summary_table(years, *out));
  });
}

}  // namespace vindrel::cli
