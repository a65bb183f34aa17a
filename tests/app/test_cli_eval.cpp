// vindrel-cli eval: one line per process-table entry, with the value that an
// evaluation at the given time gives, in text that reads back to the same double.
#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::run_cli;

struct Line {
  int position = 0;
  std::string symbol;
  std::string text;
  double value = 0.0;
};

std::vector<Line> parse_lines(const std::string& out) {
  std::vector<Line> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    Line parsed;
    const auto first = line.find('\t');
    const auto second = line.find('\t', first + 1);
    EXPECT_NE(second, std::string::npos) << line;
    if (second == std::string::npos) continue;
    parsed.position = std::stoi(line.substr(0, first));
    parsed.symbol = line.substr(first + 1, second - first - 1);
    parsed.text = line.substr(second + 1);
    const auto [end, error] =
        std::from_chars(parsed.text.data(), parsed.text.data() + parsed.text.size(), parsed.value);
    EXPECT_TRUE(error == std::errc() && end == parsed.text.data() + parsed.text.size()) << line;
    lines.push_back(parsed);
  }
  return lines;
}

class CliEvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteParamFile(par, support::temperate_forest());
    testing::write_daily_drivers(drr, 1, 400);
  }

  std::string files() const { return "--par '" + par + "' --drivers '" + drr + "'"; }

  // The same evaluation through the library.
  Model library_evaluation(double time, double start) const {
    Model model = make_model();
    EXPECT_TRUE(ReadParamFile(par, model));
    DriverLookup lookup;
    EXPECT_TRUE(lookup.open(drr, model));
    lookup.rewind();
    lookup.GetDrivers(model.drivers, time, 2.0);
    lookup.close();
    EvaluateEquations(model, EvaluationClock{1.0, start}, model.states, time, model.processes,
                      false);
    return model;
  }

  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par");
  const std::string drr = folder.file("weather.drr");
};

TEST_F(CliEvalTest, PrintsEveryProcessWithItsPositionSymbolAndExactValue) {
  const auto result = run_cli("eval " + files() + " --time 200 --start 1");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::vector<Line> lines = parse_lines(result.out);
  ASSERT_EQ(lines.size(), 189u);
  const Model expected = library_evaluation(200.0, 1.0);
  for (int i = 1; i <= 189; ++i) {
    const Line& line = lines[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(line.position, i);
    EXPECT_EQ(line.symbol, expected.processes[i].symbol);
    EXPECT_EQ(line.value, expected.processes[i].value) << line.symbol;
  }
  EXPECT_EQ(lines[0].symbol, "dCfdt");
  EXPECT_EQ(lines[process::LAI - 1].symbol, "LAI");
}

TEST_F(CliEvalTest, ValuesAreTheShortestTextThatReadsBack) {
  const auto result = run_cli("eval " + files() + " --time 150");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  for (const Line& line : parse_lines(result.out)) {
    char shortest[32];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, line.value).ptr;
    EXPECT_EQ(line.text, std::string(shortest, end));
  }
  // The leaf area index of the stand: 150 g C m-2 over 30 g C m-2 leaf.
  EXPECT_NE(result.out.find(std::to_string(process::LAI) + "\tLAI\t5\n"), std::string::npos);
}

TEST_F(CliEvalTest, StartTimeDefaultsToTheTimeOfTheEvaluation) {
  const auto implicit = run_cli("eval " + files() + " --time 200");
  const auto explicit_start = run_cli("eval " + files() + " --time 200 --start 200");
  const auto earlier_start = run_cli("eval " + files() + " --time 200 --start 1");
  ASSERT_EQ(implicit.exit_code, 0) << implicit.err;
  EXPECT_EQ(implicit.out, explicit_start.out);
  // At the start time the clocks and totals of the evaluation are those of a
  // new year, which changes the processes.
  EXPECT_NE(implicit.out, earlier_start.out);
  const std::vector<Line> lines = parse_lines(implicit.out);
  const Model expected = library_evaluation(200.0, 200.0);
  ASSERT_EQ(lines.size(), 189u);
  for (int i = 1; i <= 189; ++i) {
    EXPECT_EQ(lines[static_cast<std::size_t>(i - 1)].value, expected.processes[i].value);
  }
}

TEST_F(CliEvalTest, DriversAreThoseInForceAtTheTime) {
  // Two driver files that differ only before day 100 give the same values at
  // day 150, and different ones at day 50.
  const std::string other = folder.file("other.drr");
  testing::write_daily_drivers(other, 1, 400, [](int day, driverarray& d) {
    if (day < 100) d[driver::II].value *= 0.5;
  });
  const std::string other_files = "--par '" + par + "' --drivers '" + other + "'";
  EXPECT_EQ(run_cli("eval " + files() + " --time 150").out,
            run_cli("eval " + other_files + " --time 150").out);
  EXPECT_NE(run_cli("eval " + files() + " --time 50").out,
            run_cli("eval " + other_files + " --time 50").out);
}

TEST_F(CliEvalTest, ATimePastTheLastDriverRecordIsAnnounced) {
  const auto past = run_cli("eval " + files() + " --time 500");
  EXPECT_EQ(past.exit_code, 0);
  EXPECT_EQ(past.err, "vindrel-cli: warning: " + drr +
                          ":402: the driver file ends at day 400; its last record holds from "
                          "there to the time of the evaluation, 500\n");
  EXPECT_EQ(past.out, run_cli("eval " + files() + " --time 500").out);
  EXPECT_EQ(run_cli("eval " + files() + " --time 400").err, "");
}

TEST_F(CliEvalTest, TheDriverFileAndTheTimesAreCheckedAsForARun) {
  // A time before the first record, and a run that starts after the time.
  testing::write_daily_drivers(drr, 50, 400);
  const auto early = run_cli("eval " + files() + " --time 10 --start 20");
  EXPECT_EQ(early.exit_code, 0);
  EXPECT_EQ(early.err,
            "vindrel-cli: warning: the evaluation at day 10 belongs to a run that starts later, at "
            "day 20: a run reaches no time before its start\n"
            "vindrel-cli: warning: " +
                drr +
                ":3: the driver file's first record is for day 50, after the time of the "
                "evaluation, day 10: the evaluation takes the weather of day 50\n");
  // Records out of order before the time are refused, and nothing is printed.
  testing::write_daily_drivers(drr, 1, 400, [](int day, driverarray& d) {
    if (day == 6) d[driver::Ca].value = 0.0;
  });
  std::string text = testing::read_whole_file(drr);
  text.replace(text.find("6.000000000000E+000"), 19, "4.000000000000E+000");
  std::ofstream(drr, std::ios::binary) << text;
  const auto reversed = run_cli("eval " + files() + " --time 100");
  EXPECT_EQ(reversed.exit_code, 1);
  EXPECT_EQ(reversed.out, "");
  EXPECT_NE(reversed.err.find("Driver times out of order"), std::string::npos) << reversed.err;
  // A time no double can follow day by day is a mistake in the command line.
  EXPECT_EQ(run_cli("eval " + files() + " --time 1e17").exit_code, 2);
}

TEST_F(CliEvalTest, MissingDriverFileIsAnError) {
  const std::string missing = folder.file("missing.drr");
  const auto result = run_cli("eval --par '" + par + "' --drivers '" + missing + "' --time 10");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "vindrel-cli: error: " + missing + ": Cannot read driver file. File does not exist.\n");
}

TEST_F(CliEvalTest, TimeIsRequired) {
  const auto result = run_cli("eval " + files());
  EXPECT_NE(result.exit_code, 0);
  EXPECT_EQ(result.out.find("dCfdt"), std::string::npos);
}

}  // namespace
}  // namespace vindrel
