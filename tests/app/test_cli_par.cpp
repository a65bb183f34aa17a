// vindrel-cli par: a parameter file from a list of symbols and values, with
// exactly the bytes the program's own writer makes, and clear refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::run_cli;

// Every state and parameter of `model` as "symbol value" lines, with comments
// and blank lines in between.
std::string values_list(const Model& model) {
  std::string text = "# a stand for the tests\n\n";
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    text += model.states[i].symbol + "\t" + shortest_decimal_text(model.states[i].value) +
            "   # state\n";
  }
  for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) {
    text += "  " + model.parameters[i].symbol + " " +
            shortest_decimal_text(model.parameters[i].value) + "\r\n";
  }
  return text;
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class CliPar : public ::testing::Test {
 protected:
  testing::ScratchFolder folder;
  const std::string values = folder.file("stand.values");
  const std::string par = folder.file("stand.par");
  const std::string reference = folder.file("reference.par");
  const Model forest = support::temperate_forest();
};

TEST_F(CliPar, WritesTheSameBytesAsTheParameterFileWriter) {
  write_text(values, values_list(forest));
  const auto result = run_cli("par --values '" + values + "' --out '" + par + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  WriteParamFile(reference, forest);
  EXPECT_TRUE(read_whole_file_bytes(par) == read_whole_file_bytes(reference));
  Model back = make_model();
  ASSERT_TRUE(ReadParamFile(par, back));
  for (int i = 1; i <= back.ModelInfo.ParameterCount; ++i) {
    EXPECT_DOUBLE_EQ(back.parameters[i].value, forest.parameters[i].value) << i;
  }
}

TEST_F(CliPar, AListThatStartsWithAByteOrderMarkReadsLikeOneWithout) {
  write_text(values, "\xEF\xBB\xBF" + values_list(forest));
  const auto result = run_cli("par --values '" + values + "' --out '" + par + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  WriteParamFile(reference, forest);
  EXPECT_TRUE(read_whole_file_bytes(par) == read_whole_file_bytes(reference));
}

TEST_F(CliPar, RefusesAListWithoutEveryValue) {
  std::string text = values_list(forest);
  const std::string line = "  mF " + shortest_decimal_text(forest.parameters[25].value) + "\r\n";
  ASSERT_NE(text.find(line), std::string::npos);
  text.erase(text.find(line), line.size());
  write_text(values, text);
  const auto result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "vindrel-cli: error: " + values + ": no value for mF\n");
  EXPECT_FALSE(std::filesystem::exists(par));
}

TEST_F(CliPar, RefusesUnknownRepeatedAndNonNumericEntriesWithTheirLine) {
  write_text(values, values_list(forest) + "Bogus 1\n");
  auto result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find(":172: unknown parameter or state \"Bogus\": expected"),
            std::string::npos)
      << result.err;

  // Entries are named as everywhere: the table and the position too.
  write_text(values, values_list(forest) + "state#1 2  # the foliage again\n");
  result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_NE(result.err.find(":172: \"state#1\" names Cf, which was already given on line 3"),
            std::string::npos)
      << result.err;

  write_text(values, values_list(forest) + "Cf 2\n");
  result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_NE(result.err.find(":172: \"Cf\" was already given on line 3"), std::string::npos)
      << result.err;

  write_text(values, "Cf abc\n");
  result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_NE(result.err.find(":1: \"abc\" is not a finite number"), std::string::npos) << result.err;

  write_text(values, "Cf nan\n");
  result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_NE(result.err.find("is not a finite number"), std::string::npos) << result.err;

  write_text(values, "Cf 1 2\n");
  result = run_cli("par --values '" + values + "' --out '" + par + "'");
  EXPECT_NE(result.err.find(":1: expected a symbol and a value"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(par));
}

}  // namespace
}  // namespace vindrel
