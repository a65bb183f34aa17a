// The annual summary: the same figures from an output file and from the
// records of the same run kept in memory, years split at multiples of 366
// days, part years marked, and the CSV form.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "summary/annual_summary.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

const std::string kExampleParameters =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.par";
const std::string kExampleDrivers =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.drr";

TEST(AnnualSummary, TheSameFiguresFromTheFileAndFromMemory) {
  Model model = make_model();
  ASSERT_TRUE(ReadParamFile(kExampleParameters, model));
  testing::ScratchFolder folder;
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 2.0 * 366.0 + 100.0;
  settings.driver_file = kExampleDrivers;
  settings.output_file = folder.file("two-years.out");
  OutputFileSink file(settings.output_file);
  OutputTable table;
  ASSERT_EQ(vindrel::Run(model, settings, file).outcome, RunOutcome::kCompleted);
  ASSERT_EQ(vindrel::Run(model, settings, table).outcome, RunOutcome::kCompleted);

  const std::vector<YearFigures> from_file = summarise_output_file(settings.output_file);
  const std::vector<YearFigures> from_memory = summarise_records(table, model.ModelInfo);
  ASSERT_EQ(from_file.size(), 3u);
  ASSERT_EQ(from_memory.size(), 3u);
  EXPECT_TRUE(from_file[0].complete);
  EXPECT_TRUE(from_file[1].complete);
  EXPECT_FALSE(from_file[2].complete) << "100 days of the third year";
  EXPECT_EQ(from_file[0].records, 365) << "days 2 to 366";
  EXPECT_EQ(from_file[1].records, 366);
  for (std::size_t y = 0; y < 3; ++y) {
    const std::vector<double> a = summary_values(from_file[y]);
    const std::vector<double> b = summary_values(from_memory[y]);
    for (std::size_t i = 0; i < a.size(); ++i) {
      // The file keeps 13 significant digits.
      EXPECT_NEAR(a[i], b[i], 1e-9 * (std::abs(a[i]) + 1.0)) << "year " << y << " column " << i;
    }
  }
  EXPECT_GT(from_file[0].gpp, 500.0);
  EXPECT_GT(from_file[0].peak_lai, 1.0);

  // The CSV: a header of names and units, one line per year.
  std::istringstream csv(format_summary_csv(from_file));
  std::string header;
  std::getline(csv, header);
  EXPECT_EQ(header.rfind("year,LAI_max,GPP_gC,NPP_gC,NEP_gC,", 0), 0u) << header;
  EXPECT_EQ(header.substr(header.size() - 9), ",complete");
  std::string line;
  int lines = 0;
  while (std::getline(csv, line)) {
    ++lines;
    EXPECT_EQ(line.rfind(std::to_string(lines) + ",", 0), 0u) << line;
  }
  EXPECT_EQ(lines, 3);
}

TEST(AnnualSummary, YearsWithoutARecordAtTheirEndHaveNoSumsAndAreNotComplete) {
  Model model = make_model();
  ASSERT_TRUE(ReadParamFile(kExampleParameters, model));
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 1100.0;
  settings.output_step = 366.0;  // records at 367, 733 and 1099: a day after each reset
  settings.driver_file = kExampleDrivers;
  OutputTable table;
  ASSERT_EQ(vindrel::Run(model, settings, table).outcome, RunOutcome::kCompleted);
  const std::vector<YearFigures> years = summarise_records(table, model.ModelInfo);
  ASSERT_EQ(years.size(), 3u);
  for (std::size_t y = 0; y < 2; ++y) {
    EXPECT_FALSE(years[y].complete);
    EXPECT_TRUE(years[y].sums_missing);
    EXPECT_TRUE(std::isnan(years[y].gpp));
    EXPECT_TRUE(std::isnan(years[y].total_c));
  }
  // The last year ends with the run: part of a year, its sums to its record.
  EXPECT_FALSE(years[2].complete);
  EXPECT_FALSE(years[2].sums_missing);
  EXPECT_FALSE(std::isnan(years[2].gpp));

  const std::string text = format_summary_table(years, "x.out");
  EXPECT_NE(text.find("(1 record; sums missing: the last record, day 367, is not at the "
                      "year's end)"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("\n mean "), std::string::npos) << "no complete year";
  // The year-2 line: the year, the peak leaf area of its record, then "-".
  const std::size_t line = text.find("\n     2 ");
  ASSERT_NE(line, std::string::npos) << text;
  EXPECT_EQ(text.substr(line + 12, 12), "     -     -") << text;
  const std::string csv = format_summary_csv(years);
  const std::size_t row = csv.find("\n2,");
  ASSERT_NE(row, std::string::npos);
  const std::string year2 = csv.substr(row + 1, csv.find('\n', row + 1) - row - 1);
  EXPECT_NE(year2.find(",,,"), std::string::npos) << year2;
  EXPECT_EQ(year2.substr(year2.size() - 4), ",1,0") << year2;

  // Which years a run's records would close, from its settings alone.
  EXPECT_EQ(complete_years_of_run(1.0, 1100.0, 1.0, 366.0), std::vector<std::int64_t>{});
  EXPECT_EQ(complete_years_of_run(1.0, 1100.0, 1.0, 1.0), (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_EQ(complete_years_of_run(0.0, 1098.0, 1.0, 366.0), (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_EQ(complete_years_of_run(1.0, 800.0, 1.0, 5.0), (std::vector<std::int64_t>{1, 2}));
}

TEST(AnnualSummary, AFileWithoutRecordsIsAnError) {
  testing::ScratchFolder folder;
  const std::string empty = folder.file("empty.out");
  OutputFileWriter writer;
  writer.open(empty, make_model());
  writer.close();
  EXPECT_THROW(summarise_output_file(empty), std::runtime_error);
}

}  // namespace
}  // namespace vindrel
