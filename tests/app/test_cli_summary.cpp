// vindrel-cli summary: the annual table agrees with the model's running totals
// and daily values read straight from the output file, marks a year that the
// run only partly covers, and averages the whole years.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::run_cli;

enum Column {
  kYear,
  kLai,
  kGpp,
  kNpp,
  kNep,
  kRsoil,
  kEt,
  kIntc,
  kQ,
  kP,
  kLeafC,
  kLeafN,
  kLitC,
  kNup,
  kNmin,
  kNleach,
  kSnow,
  kMelt,
  kOut,
  kFall,
  kDry,
  kTotC,
  kTotN,
  kColumns
};

struct Row {
  std::string first;
  std::vector<double> values;
  bool partial = false;
};

std::vector<Row> table_rows(const std::string& text) {
  std::vector<Row> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream tokens(line);
    Row row;
    if (!(tokens >> row.first)) continue;
    if (row.first != "mean" && row.first.find_first_not_of("0123456789") != std::string::npos) {
      continue;  // title and heading lines
    }
    double v = 0.0;
    row.values.push_back(row.first == "mean" ? 0.0 : std::stod(row.first));
    while (tokens >> v) row.values.push_back(v);
    row.partial = line.find("(part of a year)") != std::string::npos;
    if (row.values.size() == kColumns) rows.push_back(row);
  }
  return rows;
}

struct YearTruth {
  double gpp = 0, nep = 0, et = 0, q = 0, leaf_n = 0, uptake = 0, total_c = 0, total_n = 0;
  double peak_lai = 0;
  int out = 0;
  std::vector<double> lai;
};

TEST(CliSummary, AnnualFiguresAreTheRunningTotalsAtEachYearsEnd) {
  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par"), drr = folder.file("w.drr"),
                    out = folder.file("run.out");
  WriteParamFile(par, support::temperate_forest());
  ASSERT_EQ(run_cli("weather --years 3 --out '" + drr + "'").exit_code, 0);
  const auto run = run_cli("run --par '" + par + "' --drivers '" + drr + "' --out '" + out +
                           "' --start 1 --stop 800");
  ASSERT_EQ(run.exit_code, 0) << run.err;

  // The truth, straight from the records: years end at 366 and 732.
  Model model = make_model();
  OutputFileReader file;
  file.open(out);
  std::vector<YearTruth> truth(3);
  double time = 0.0;
  while (file.read_record(time, model)) {
    YearTruth& y = truth[static_cast<std::size_t>(std::ceil(time / 366.0)) - 1];
    const double lai = model.processes[process::LAI].value;
    y.lai.push_back(lai);
    y.peak_lai = std::max(y.peak_lai, lai);
    y.gpp = model.states[state::PST].value;
    y.nep = model.states[state::NepT].value;
    y.et = model.states[state::EtT].value;
    y.q = model.states[state::QgT].value;
    y.leaf_n = model.states[state::lambdaNfT].value;
    y.uptake = model.states[state::UNT].value;
    y.total_c = model.processes[process::CET].value;
    y.total_n = model.processes[process::NET].value + model.processes[process::NIT].value;
  }
  file.close();

  const auto result = run_cli("summary --out '" + out + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<Row> rows = table_rows(result.out);
  ASSERT_EQ(rows.size(), 4U) << result.out;  // years 1, 2, 3 and the mean
  for (std::size_t k = 0; k < 3; ++k) {
    const Row& row = rows[k];
    const YearTruth& y = truth[k];
    EXPECT_EQ(row.values[kYear], static_cast<double>(k + 1));
    EXPECT_NEAR(row.values[kLai], y.peak_lai, 0.0051);
    EXPECT_NEAR(row.values[kGpp], y.gpp, 0.51);
    EXPECT_NEAR(row.values[kNep], y.nep, 0.51);
    EXPECT_NEAR(row.values[kEt], y.et, 0.51);
    EXPECT_NEAR(row.values[kQ], y.q, 0.51);
    EXPECT_NEAR(row.values[kLeafN], y.leaf_n, 0.0051);
    EXPECT_NEAR(row.values[kNup], y.uptake, 0.0051);
    EXPECT_NEAR(row.values[kTotC], y.total_c, 0.51);
    EXPECT_NEAR(row.values[kTotN], y.total_n, 0.051);
  }
  // Leaf-out: the first day of year 2 with half of the year's peak leaf area.
  const auto& lai2 = truth[1].lai;
  const auto first = std::find_if(lai2.begin(), lai2.end(),
                                  [&](double v) { return v >= 0.5 * truth[1].peak_lai; });
  ASSERT_NE(first, lai2.end());
  EXPECT_EQ(rows[1].values[kOut], static_cast<double>(first - lai2.begin() + 1));

  EXPECT_FALSE(rows[0].partial);  // the run starts at time 1, where the model starts its year
  EXPECT_FALSE(rows[1].partial);
  EXPECT_TRUE(rows[2].partial);  // 68 days of year 3
  EXPECT_EQ(rows[3].first, "mean");
  EXPECT_NEAR(rows[3].values[kGpp], 0.5 * (truth[0].gpp + truth[1].gpp), 0.51);

  // The same figures as CSV, with their full digits.
  const auto csv = run_cli("summary --csv --out '" + out + "'");
  ASSERT_EQ(csv.exit_code, 0) << csv.err;
  std::istringstream lines(csv.out);
  std::string header, year1;
  std::getline(lines, header);
  std::getline(lines, year1);
  EXPECT_EQ(header.rfind("year,LAI_max,GPP_gC,", 0), 0u) << header;
  EXPECT_EQ(year1.rfind("1,", 0), 0u) << year1;
  const std::size_t gpp_start = year1.find(',', 2) + 1;
  EXPECT_NEAR(std::stod(year1.substr(gpp_start)), truth[0].gpp, 1e-6 * truth[0].gpp);
  EXPECT_EQ(year1.substr(year1.size() - 2), ",1");
}

// The figures of a CSV line by their names in the header.
std::map<std::string, double> csv_fields(const std::string& header, const std::string& line) {
  std::map<std::string, double> fields;
  std::istringstream names(header), values(line);
  std::string name, value;
  while (std::getline(names, name, ',') && std::getline(values, value, ',')) {
    fields[name] = std::stod(value);
  }
  return fields;
}

TEST(CliSummary, FileAsArgumentWideFiguresAndRecordsFurtherApartThanADay) {
  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par"), drr = folder.file("w.drr"),
                    out = folder.file("run.out");
  WriteParamFile(par, support::temperate_forest());
  ASSERT_EQ(run_cli("weather --years 3 --out '" + drr + "'").exit_code, 0);
  ASSERT_EQ(run_cli("run --par '" + par + "' --drivers '" + drr + "' --out '" + out +
                    "' --start 1 --stop 800 --output-step 5")
                .exit_code,
            0);

  // Records at 6, 11, ... 796: two whole years of 73 records, then 13.
  const auto table = run_cli("summary '" + out + "'");
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_EQ(table.out.rfind("Annual summary of " + out, 0), 0u);
  std::istringstream lines(table.out);
  std::vector<std::string> notes;
  for (std::string line; std::getline(lines, line);) {
    const auto open = line.find("  (");
    if (open != std::string::npos) notes.push_back(line.substr(open));
  }
  EXPECT_EQ(notes, (std::vector<std::string>{"  (73 records)", "  (73 records)",
                                             "  (part of a year, 13 records)"}));
  EXPECT_NE(table.out.find("a record every 5 days"), std::string::npos);
  EXPECT_NE(table.out.find("\n mean "), std::string::npos) << "two whole years";

  // The wide table and the CSV add the plants' and the soil's carbon and
  // nitrogen, which add up to the ecosystem's.
  const auto wide = run_cli("summary --wide '" + out + "'");
  ASSERT_EQ(wide.exit_code, 0) << wide.err;
  EXPECT_NE(wide.out.find("TotN Rplant  LitN  Nfix  PlantC PlantN   SoilC  SoilN\n"),
            std::string::npos)
      << wide.out;
  const auto csv = run_cli("summary --csv '" + out + "'");
  ASSERT_EQ(csv.exit_code, 0) << csv.err;
  std::istringstream csv_lines(csv.out);
  std::string header, year1;
  std::getline(csv_lines, header);
  std::getline(csv_lines, year1);
  EXPECT_NE(header.find(",TotN_gN,Rplant_gC,LitN_gN,Nfix_gN,PlantC_gC,PlantN_gN,SoilC_gC,SoilN_gN,"
                        "records,complete"),
            std::string::npos)
      << header;
  auto y = csv_fields(header, year1);
  EXPECT_NEAR(y["PlantC_gC"] + y["SoilC_gC"], y["TotC_gC"], 1e-9 * y["TotC_gC"]);
  EXPECT_NEAR(y["PlantN_gN"] + y["SoilN_gN"], y["TotN_gN"], 1e-9 * y["TotN_gN"]);
  EXPECT_GT(y["Rplant_gC"], 0.0);
  EXPECT_GT(y["LitN_gN"], 0.0);
  EXPECT_EQ(y["records"], 73.0);
  EXPECT_EQ(y["complete"], 1.0);

  const auto two = run_cli("summary '" + out + "' --out '" + drr + "'");
  EXPECT_EQ(two.exit_code, 2);
  EXPECT_NE(two.err.find("two output files named"), std::string::npos) << two.err;
  // The file is the argument; --out, which names an output everywhere else,
  // still reads it and says so in the help.
  EXPECT_NE(run_cli("summary --help").out.find("Deprecated: name the file as the argument instead"),
            std::string::npos);
}

TEST(CliSummary, ReportsAMissingOrEmptyOutputFile) {
  testing::ScratchFolder folder;
  auto result = run_cli("summary --out '" + folder.file("none.out") + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("vindrel-cli: error: "), std::string::npos);
  EXPECT_NE(result.err.find("File not found"), std::string::npos) << result.err;

  // A header without records.
  const std::string empty = folder.file("empty.out");
  Model model = make_model();
  OutputFileWriter file;
  file.open(empty, model);
  file.close();
  result = run_cli("summary --out '" + empty + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("the output file holds no record"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace vindrel
