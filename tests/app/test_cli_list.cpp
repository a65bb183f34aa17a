#include <gtest/gtest.h>

#include <sstream>

#include "tests/app/cli_runner.hpp"

namespace vindrel {
namespace {

using testing::run_cli;

int count_lines(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

TEST(CliVersion, PrintsModelNameAndVersion) {
  const auto result = run_cli("--version");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Vindrel 6.4.1\n");
}

TEST(CliList, ShowsAllFourTables) {
  const auto result = run_cli("list");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("# states: 55"), std::string::npos);
  EXPECT_NE(result.out.find("# drivers: 18"), std::string::npos);
  EXPECT_NE(result.out.find("# processes: 189"), std::string::npos);
  EXPECT_NE(result.out.find("# parameters: 114"), std::string::npos);
  EXPECT_NE(result.out.find("55\tJdrs\tJday Root Sens = 999\tJulian Day\n"), std::string::npos);
  EXPECT_NE(result.out.find("17\tDNnh4\tDriver: Soil NH4\tg N m-2 \n"), std::string::npos);
}

TEST(CliList, OneTableHasAHeaderAndOneLinePerEntry) {
  EXPECT_EQ(count_lines(run_cli("list states").out), 1 + 55);
  EXPECT_EQ(count_lines(run_cli("list drivers").out), 1 + 18);
  EXPECT_EQ(count_lines(run_cli("list processes").out), 1 + 189);
  const auto parameters = run_cli("list parameters");
  EXPECT_EQ(count_lines(parameters.out), 1 + 114);
  // Parameter 25 belongs to process 77 (LAI).
  EXPECT_NE(parameters.out.find("25\tmF\tFoliage C Density\tg C m-2 leaf\t77\n"), std::string::npos);
}

TEST(CliList, ProcessesNameTheirFirstParameter) {
  const auto result = run_cli("list processes");
  // LAI (process 77) has one parameter, mF, at position 25; derivatives have none.
  EXPECT_NE(result.out.find("77\tLAI\tLeaf Area Index\tm2 leaf m-2 ground\t0\t1\t25\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("\tparameters\tfirst parameter\n1\tdCfdt\t"), std::string::npos);
  EXPECT_NE(result.out.find("\t0\t0\t\n2\tdCswdt\t"), std::string::npos);
}

TEST(CliList, OnATerminalTheColumnsAreAligned) {
  // `script` gives the program a terminal for its standard output.
  const std::string command =
      std::string("script -qec \"'") + VINDREL_CLI + "' list states\" /dev/null 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pclose(pipe) != 0 || out.empty()) GTEST_SKIP() << "no script command to make a terminal";
  std::istringstream lines(out);
  std::string header, first;
  std::getline(lines, header);
  std::getline(lines, first);
  EXPECT_EQ(header.rfind("position  symbol     name", 0), 0u) << header;
  EXPECT_EQ(first.rfind("1         Cf         C: foliar", 0), 0u) << first;
  EXPECT_EQ(out.find('\t'), std::string::npos);
  // The columns start where the header's do.
  EXPECT_EQ(header.find("name"), first.find("C: foliar"));
  EXPECT_EQ(header.find("units"), first.find("g C m-2 ground"));
}

TEST(CliList, UnknownTableIsRefusedWithNonZeroExit) {
  const auto result = run_cli("list everything");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_FALSE(result.err.empty());
}

TEST(CliUsage, NoSubcommandIsAnError) {
  const auto result = run_cli("");
  EXPECT_NE(result.exit_code, 0);
}

}  // namespace
}  // namespace vindrel

namespace vindrel {
namespace {

TEST(CliUsage, UsageErrorsSayVindrelCliErrorAndExitWithTwo) {
  const auto result = testing::run_cli("list --no-such-flag");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err.rfind("vindrel-cli: error: ", 0), 0u) << result.err;
  const auto missing = testing::run_cli("run --reset-every 365");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err.rfind("vindrel-cli: error: ", 0), 0u) << missing.err;
}

TEST(CliUsage, HelpExitsWithZero) {
  const auto result = testing::run_cli("--help");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.out.find("list"), std::string::npos);
}

}  // namespace
}  // namespace vindrel
