// Factors and sample files: what they resolve to, and the line of every refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "study/factors.hpp"
#include "study/samples.hpp"

namespace vindrel::study {
namespace {

// The message of the EInOutError that `read` throws, or "" when it does not.
template <typename Read>
std::string refusal(Read&& read) {
  try {
    read();
  } catch (const EInOutError& error) {
    return error.what();
  }
  return "";
}

int parameter_position(const Model& model, const std::string& symbol) {
  for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) {
    if (model.parameters[i].symbol == symbol) return i;
  }
  return 0;
}

TEST(Factors, SymbolsTablesAndPositionsResolve) {
  const Model model = make_model();
  const std::vector<Factor> factors = parse_factors(
      "\xEF\xBB\xBF# a study\r\nfactor,low,high\r\n\r\nmF, 20 ,40\r\nstate:Cf,4,8\n"
      "parameter#3,-1e-3,2.5E2\n",
      "f.csv", model);
  ASSERT_EQ(factors.size(), 3U);
  EXPECT_EQ(factors[0].name, "mF");
  EXPECT_EQ(factors[0].kind, FactorKind::kParameter);
  EXPECT_EQ(factors[0].position, parameter_position(model, "mF"));
  EXPECT_EQ(factors[0].low, 20.0);
  EXPECT_EQ(factors[0].high, 40.0);
  EXPECT_EQ(factors[1].kind, FactorKind::kState);
  EXPECT_EQ(factors[1].position, 1);  // Cf heads the state table
  EXPECT_EQ(factors[2].name, "parameter#3");
  EXPECT_EQ(factors[2].position, 3);
  EXPECT_EQ(factors[2].low, -0.001);
  EXPECT_EQ(factors[2].high, 250.0);

  Model changed = model;
  apply_sample(changed, factors, {30.0, 5.0, 0.5});
  EXPECT_EQ(factor_value(changed, factors[0]), 30.0);
  EXPECT_EQ(changed.states[1].value, 5.0);
  EXPECT_EQ(changed.parameters[3].value, 0.5);
}

TEST(Factors, BadLinesAreRefusedWithTheFileAndTheLine) {
  const Model model = make_model();
  const auto bad = [&](const std::string& body) {
    return refusal([&] { parse_factors("factor,low,high\n# c\n" + body, "f.csv", model); });
  };
  EXPECT_EQ(bad("mF,1,2\nnoSuchSymbol,1,2\n"),
            "f.csv:4: unknown parameter or state \"noSuchSymbol\": expected a parameter's or a "
            "state's symbol (mF, Cf), parameter:SYMBOL, state:SYMBOL, parameter#N or state#N "
            "(see vindrel-cli list)");
  EXPECT_EQ(bad("mF,2,2\n"), "f.csv:3: the low value 2 of \"mF\" is not below its high value 2");
  EXPECT_EQ(bad("mF,1\n"), "f.csv:3: expected 3 fields (factor,low,high), found 2 in \"mF,1\"");
  EXPECT_EQ(bad("mF,1,inf\n"),
            "f.csv:3: expected a finite number for the high value of \"mF\", found \"inf\"");
  EXPECT_EQ(bad("mF,x,2\n"),
            "f.csv:3: expected a finite number for the low value of \"mF\", found \"x\"");
  EXPECT_EQ(bad("state:mF,1,2\n"),
            "f.csv:3: unknown parameter or state \"state:mF\": no state has the symbol \"mF\"");
  EXPECT_EQ(bad("state#0,1,2\n"),
            "f.csv:3: unknown parameter or state \"state#0\": state#N takes a whole number N from "
            "1 to " +
                std::to_string(model.ModelInfo.StateCount));
  EXPECT_EQ(bad("5,1,2\n"),
            "f.csv:3: unknown parameter or state \"5\": a position alone names no table; write "
            "parameter#5 or state#5");
  const std::string mf = "parameter#" + std::to_string(parameter_position(model, "mF"));
  EXPECT_EQ(bad("mF,1,2\n\n" + mf + ",1,2\n"),
            "f.csv:5: \"" + mf + "\" names " + mf + ", already a factor on line 3 (\"mF\")");
  EXPECT_EQ(bad(""), "f.csv:2: expected at least one factor after the header");
  EXPECT_EQ(refusal([&] { parse_factors("mF,1,2\n", "f.csv", model); }),
            "f.csv:1: expected the header \"factor,low,high\", found \"mF,1,2\"");
}

TEST(Factors, ASymbolOfBothTablesMustBeQualified) {
  Model model = make_model();
  model.states[2].symbol = model.parameters[5].symbol;  // make one symbol name two entries
  const std::string symbol = model.parameters[5].symbol;
  const std::string message =
      refusal([&] { parse_factors("factor,low,high\n" + symbol + ",1,2\n", "f.csv", model); });
  EXPECT_EQ(message.substr(0, message.find(';')), "f.csv:2: ambiguous parameter or state \"" +
                                                      symbol + "\": it names parameter:" + symbol +
                                                      ", state:" + symbol);
  EXPECT_EQ(
      parse_factors("factor,low,high\nstate:" + symbol + ",1,2\n", "f.csv", model)[0].position, 2);
}

TEST(Samples, HeaderFilesAndPlainMatricesReadTheSame) {
  const Model model = make_model();
  const std::vector<Factor> factors =
      parse_factors("factor,low,high\nmF,20,40\nstate:Cf,4,8\n", "f.csv", model);
  const SampleTable with_header =
      parse_samples("mF,state:Cf\r\n20.5,4\r\n39,7.25\r\n", "s.csv", factors);
  const SampleTable matrix =
      parse_samples("# SALib\n2.050000e+01 4.0\n39\t7.25\n\n", "m.txt", factors);
  // The matrix's header written without "#": the names separated by blanks.
  const SampleTable named_matrix =
      parse_samples("mF  state:Cf\n2.050000e+01 4.0\n39\t7.25\n", "n.txt", factors);
  ASSERT_EQ(with_header.rows.size(), 2U);
  EXPECT_EQ(with_header.rows, matrix.rows);
  EXPECT_EQ(named_matrix.rows, matrix.rows);
  EXPECT_EQ(named_matrix.file_name, "n.txt");
  EXPECT_EQ(with_header.rows[1], (std::vector<double>{39.0, 7.25}));
  EXPECT_EQ(samples_text(with_header), "mF,state:Cf\n20.5,4\n39,7.25\n");
  // The written text reads back to the same doubles, bit for bit.
  SampleTable awkward{{"mF", "state:Cf"}, {{0.1 + 0.2, 1e-300}, {-2.5e17, 1.0 / 3.0}}, {}};
  EXPECT_EQ(parse_samples(samples_text(awkward), "s.csv", factors).rows, awkward.rows);
}

TEST(Samples, BadRowsAreRefusedWithTheLine) {
  const Model model = make_model();
  const std::vector<Factor> factors =
      parse_factors("factor,low,high\nmF,20,40\nCf,4,8\n", "f.csv", model);
  const auto bad = [&](const std::string& text) {
    return refusal([&] { parse_samples(text, "s.csv", factors); });
  };
  EXPECT_EQ(bad("Cf,mF\n1,2\n"),
            "s.csv:1: expected the header \"mF,Cf\" (the factors in order) or a row of numbers, "
            "found \"Cf,mF\"");
  EXPECT_EQ(bad("Cf mF\n1 2\n"),
            "s.csv:1: expected the header \"mF,Cf\" (the factors in order) or a row of numbers, "
            "found \"Cf mF\"");
  EXPECT_EQ(bad("mF,Cf\n1,2\n3\n"), "s.csv:3: expected 2 values (mF,Cf), found 1");
  EXPECT_EQ(bad("1 2\n3 4 5\n"), "s.csv:2: expected 2 values (mF,Cf), found 3");
  EXPECT_EQ(bad("mF,Cf\n1,2\n3,,\n"), "s.csv:3: expected 2 values (mF,Cf), found 3");
  EXPECT_EQ(bad("mF,Cf\n1,nan\n"), "s.csv:2: expected a finite number for \"Cf\", found \"nan\"");
  EXPECT_EQ(bad("mF,Cf\n\n"), "s.csv:2: expected at least one row of factor values, found none");
}

}  // namespace
}  // namespace vindrel::study
