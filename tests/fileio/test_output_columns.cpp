// The names a user types for output columns, and the refusals with their
// messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/output_columns.hpp"

namespace vindrel {
namespace {

// With this model: 18 drivers (columns 1-18), 55 states (19-73), processes
// 56-189 (columns 74-207).
constexpr int kDrivers = 18;

struct Accepted {
  const char* text;
  OutputNames accepted;
  int column;
  ColumnTable kind;
  int index;
  const char* symbol;
};

TEST(OutputColumns, EveryFormNamesItsColumn) {
  const Model model = make_model();
  ASSERT_EQ(model.ModelInfo.DriverCount, kDrivers);
  const std::vector<Accepted> cases = {
      {"Time", OutputNames::kAll, 0, ColumnTable::kTime, 0, "Time"},
      {"LAI", OutputNames::kAll, kDrivers + 77, ColumnTable::kProcess, 77, "LAI"},
      {"process:LAI", OutputNames::kAll, kDrivers + 77, ColumnTable::kProcess, 77, "LAI"},
      {"process#77", OutputNames::kAll, kDrivers + 77, ColumnTable::kProcess, 77, "LAI"},
      {"Leaf Area Index", OutputNames::kAll, kDrivers + 77, ColumnTable::kProcess, 77, "LAI"},
      {"state#5", OutputNames::kAll, kDrivers + 5, ColumnTable::kState, 5, "Nf"},
      {"state:Cf", OutputNames::kAll, kDrivers + 1, ColumnTable::kState, 1, "Cf"},
      {"Cf", OutputNames::kAll, kDrivers + 1, ColumnTable::kState, 1, "Cf"},
      {"C: foliar", OutputNames::kAll, kDrivers + 1, ColumnTable::kState, 1, "Cf"},
      {"driver:Tamax", OutputNames::kAll, 2, ColumnTable::kDriver, 2, "Tamax"},
      {"driver#3", OutputNames::kAll, 3, ColumnTable::kDriver, 3, "Tamin"},
      {"driver:Ts", OutputNames::kAll, 4, ColumnTable::kDriver, 4, "Ts"},
      {"process:Ts", OutputNames::kAll, kDrivers + 57, ColumnTable::kProcess, 57, "Ts"},
      {"process#189", OutputNames::kAll, kDrivers + 189, ColumnTable::kProcess, 189, nullptr},
      {"Wg", OutputNames::kStates, kDrivers + 22, ColumnTable::kState, 22, "Wg"},
      {"5", OutputNames::kStates, kDrivers + 5, ColumnTable::kState, 5, "Nf"},
      {"state:Nf", OutputNames::kStates, kDrivers + 5, ColumnTable::kState, 5, "Nf"},
      {"state#55", OutputNames::kStates, kDrivers + 55, ColumnTable::kState, 55, nullptr},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    const OutputColumn column = resolve_output_name(model, c.text, c.accepted);
    EXPECT_EQ(column.column, c.column);
    EXPECT_EQ(column.kind, c.kind);
    EXPECT_EQ(column.index, c.index);
    if (c.symbol != nullptr) {
      EXPECT_EQ(column.symbol, c.symbol);
    }
    // The column at that position is the same column, with its name and unit.
    const OutputColumn at = output_column(model, c.column);
    EXPECT_EQ(at.symbol, column.symbol);
    EXPECT_EQ(at.name, column.name);
    EXPECT_EQ(at.unit, column.unit);
  }
  EXPECT_EQ(resolve_output_name(model, "LAI").unit, "m2 leaf m-2 ground");
  EXPECT_EQ(resolve_output_name(model, "Time").unit, model.ModelInfo.TimeUnit);
  EXPECT_EQ(output_column_count(model.ModelInfo), 208);
}

TEST(OutputColumns, EachRefusalSaysWhatWasExpected) {
  const Model model = make_model();
  const std::string all_forms =
      "a symbol (LAI), driver:SYMBOL, state:SYMBOL, process:SYMBOL, driver#N, state#N, "
      "process#N, Time or a name from the output display's list (see vindrel-cli list)";
  const std::string state_forms =
      "a state's symbol (Cf), its position (1), state:SYMBOL or state#N (see vindrel-cli list "
      "states)";
  const std::vector<std::pair<std::string, std::string>> all = {
      {"NoSuch", "unknown output variable \"NoSuch\": expected " + all_forms},
      {"", "unknown output variable \"\": expected " + all_forms},
      {"states", "unknown output variable \"states\": expected " + all_forms},
      {"state:LAI", "unknown output variable \"state:LAI\": no state has the symbol \"LAI\""},
      {"state#x",
       "unknown output variable \"state#x\": state#N takes a whole number N from 1 to 55"},
      {"state#0",
       "unknown output variable \"state#0\": state#N takes a whole number N from 1 to 55"},
      {"driver#19",
       "unknown output variable \"driver#19\": driver#N takes a whole number N from 1 to 18"},
      {"process#5",
       "unknown output variable \"process#5\": process#N takes a whole number N from 56 to 189 "
       "(processes 1 to 55 are the states' derivatives, which the output does not hold)"},
      {"Ts", "ambiguous output variable \"Ts\": it names driver:Ts, process:Ts; name one of them"},
      {"RrmetL",
       "ambiguous output variable \"RrmetL\": it names process#99, process#100; name one of them"},
      {"process:none",
       "ambiguous output variable \"process:none\": it names process#109, process#110, "
       "process#111; name one of them"},
  };
  for (const auto& [text, message] : all) {
    SCOPED_TRACE(text);
    try {
      resolve_output_name(model, text);
      ADD_FAILURE() << "accepted";
    } catch (const OutputNameError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
  const std::vector<std::pair<std::string, std::string>> states = {
      {"Qq", "unknown state \"Qq\": expected " + state_forms},
      {"56", "unknown state \"56\": positions run from 1 to 55"},
      {"LAI", "unknown state \"LAI\": expected " + state_forms},
      {"Time", "unknown state \"Time\": expected " + state_forms},
      {"C: foliar", "unknown state \"C: foliar\": expected " + state_forms},
      {"driver:Tamax",
       "unknown state \"driver:Tamax\": only states are taken here; expected " + state_forms},
      {"process#77",
       "unknown state \"process#77\": only states are taken here; expected " + state_forms},
  };
  for (const auto& [text, message] : states) {
    SCOPED_TRACE(text);
    try {
      resolve_output_name(model, text, OutputNames::kStates);
      ADD_FAILURE() << "accepted";
    } catch (const OutputNameError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

TEST(OutputColumns, AListKeepsItsOrderTakesGroupsAndRefusesRepeats) {
  const Model model = make_model();
  const std::vector<OutputColumn> list =
      resolve_output_list(model, " LAI , state#5,Time,driver:Tamax");
  ASSERT_EQ(list.size(), 4U);
  EXPECT_EQ(list[0].column, kDrivers + 77);
  EXPECT_EQ(list[1].column, kDrivers + 5);
  EXPECT_EQ(list[2].column, 0);
  EXPECT_EQ(list[3].column, 2);

  const std::vector<OutputColumn> groups = resolve_output_list(model, "Time,drivers,processes");
  ASSERT_EQ(groups.size(), 1U + 18U + 134U);
  EXPECT_EQ(groups[1].column, 1);
  EXPECT_EQ(groups[19].column, kDrivers + 56);
  EXPECT_EQ(groups.back().column, 207);
  EXPECT_EQ(resolve_output_list(model, "states").size(), 55U);
  EXPECT_EQ(resolve_output_list(model, "Cf, 2", OutputNames::kStates)[1].symbol, "Csw");

  const auto refusal = [&](const std::string& text, OutputNames accepted) -> std::string {
    try {
      resolve_output_list(model, text, accepted);
    } catch (const OutputNameError& error) {
      return error.what();
    }
    return "accepted";
  };
  EXPECT_EQ(refusal("Cf,,LAI", OutputNames::kAll),
            "the list \"Cf,,LAI\" has an empty name; name output variables, separated by "
            "commas (Cf,process:LAI)");
  EXPECT_EQ(refusal(" ,", OutputNames::kStates),
            "the list \" ,\" has an empty name; name states by symbol or position, separated by "
            "commas (Cf,Nf)");
  EXPECT_EQ(refusal("Cf,LAI,Cf", OutputNames::kAll),
            "\"Cf\" is named twice in the list \"Cf,LAI,Cf\"; name it once");
  EXPECT_EQ(refusal("states,Cf", OutputNames::kAll),
            "\"states\" and \"Cf\" both name state:Cf in the list \"states,Cf\"; name each "
            "output variable once");
  EXPECT_EQ(refusal("1,Cf", OutputNames::kStates),
            "\"1\" and \"Cf\" both name state:Cf in the list \"1,Cf\"; name each state once");
  EXPECT_EQ(refusal("Cf,states", OutputNames::kStates),
            "unknown state \"states\": expected a state's symbol (Cf), its position (1), "
            "state:SYMBOL or state#N (see vindrel-cli list states)");
}

}  // namespace
}  // namespace vindrel
