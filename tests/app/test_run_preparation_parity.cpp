// One table of cases (run_preparation_cases.txt), run through `vindrel-cli
// check` and through the preparation the desktop calls, expecting the same
// findings in the same words; the Python module's tests run the same table.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "check/run_preparation.hpp"
#include "cli_runner.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

struct Expected {
  std::string level;  // "usage", "refusal" or "warning"
  std::string text;   // with {OPTION} placeholders; "..." at the end: a beginning
};

struct Case {
  std::string name;
  std::vector<std::pair<std::string, std::string>> options;  // Python names
  std::vector<std::pair<std::string, double>> states;
  std::vector<std::pair<std::string, double>> parameters;
  struct DriverEdit {
    int day = 0;
    int column = 0;
    std::string value;
  };
  std::vector<DriverEdit> drivers;
  std::vector<Expected> expected;
};

std::pair<std::string, std::string> split_at(const std::string& text, char separator) {
  const std::size_t at = text.find(separator);
  return {text.substr(0, at), at == std::string::npos ? "" : text.substr(at + 1)};
}

double number(const std::string& text) {
  double value = 0.0;
  if (!parse_number(text, value)) throw std::invalid_argument("not a number: " + text);
  return value;
}

std::vector<Case> read_cases() {
  std::ifstream in(std::string(VINDREL_SOURCE_DIR) + "/tests/app/run_preparation_cases.txt");
  std::vector<Case> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto [key, rest] = split_at(line, ':');
    rest.erase(0, rest.find_first_not_of(' '));
    if (key == "case") {
      cases.push_back({rest, {}, {}, {}, {}, {}});
    } else if (key == "options") {
      std::istringstream words(rest);
      for (std::string word; words >> word;) cases.back().options.push_back(split_at(word, '='));
    } else if (key == "state" || key == "parameter") {
      const auto [symbol, value] = split_at(rest, '=');
      (key == "state" ? cases.back().states : cases.back().parameters)
          .emplace_back(symbol, number(value));
    } else if (key == "driver") {
      const auto [day, edit] = split_at(rest, ' ');
      const auto [column, value] = split_at(edit, '=');
      cases.back().drivers.push_back({std::stoi(day), std::stoi(column), value});
    } else {
      cases.back().expected.push_back({key, rest});
    }
  }
  return cases;
}

// The expected text with each {OPTION} written as `spelling` writes it.
std::string spelled(std::string text, const OptionSpelling& spelling) {
  for (std::size_t i = 0; i < kPythonSpelling.size(); ++i) {
    std::string placeholder(1, '{');
    placeholder.append(kPythonSpelling[i]).push_back('}');
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder)) {
      text.replace(at, placeholder.size(), spelling[i]);
    }
  }
  return text;
}

// True when `found` is the expected text, or ends with it after a file and a
// line, or (for "...") holds its beginning there.
bool text_matches(const std::string& found, std::string expected) {
  if (expected.ends_with("...")) {
    expected.resize(expected.size() - 3);
    return found.rfind(expected, 0) == 0 || found.find(": " + expected) != std::string::npos;
  }
  return found == expected || found.ends_with(": " + expected);
}

class RunPreparationParityTest : public ::testing::Test {
 protected:
  // The case's model, parameter file and driver file.
  void make_inputs(const Case& c) {
    model = make_model();
    ASSERT_TRUE(ReadParamFile(kExamples + "vindrel-example.par", model));
    for (const auto& [symbol, value] : c.states) set(model.states, symbol, value);
    for (const auto& [symbol, value] : c.parameters) set(model.parameters, symbol, value);
    par = kExamples + "vindrel-example.par";
    if (!c.states.empty() || !c.parameters.empty()) {
      par = folder.file("edited.par");
      WriteParamFile(par, model);
    }
    drr = kExamples + "vindrel-example.drr";
    if (!c.drivers.empty()) {
      drr = folder.file("edited.drr");
      write_edited_drivers(c);
    }
  }

  template <typename Table>
  void set(Table& table, const std::string& symbol, double value) {
    for (auto& entry : table) {
      if (entry.symbol == symbol) {
        entry.value = value;
        return;
      }
    }
    FAIL() << "no entry " << symbol;
  }

  // The example's first 400 days, with the case's values put in.
  void write_edited_drivers(const Case& c) {
    std::ifstream in(kExamples + "vindrel-example.drr");
    std::ofstream out(drr);
    std::string line;
    for (int n = 1; n <= 402 && std::getline(in, line); ++n) {
      if (n > 2) {
        for (const Case::DriverEdit& edit : c.drivers) {
          if (edit.day != n - 2) continue;
          std::istringstream tokens(line);
          std::vector<std::string> fields;
          for (std::string token; tokens >> token;) fields.push_back(token);
          fields[static_cast<std::size_t>(edit.column)] = edit.value;
          line.clear();
          for (const std::string& field : fields) line += field + " ";
        }
      }
      out << line << '\n';
    }
  }

  testing::ScratchFolder folder;
  Model model;
  std::string par;
  std::string drr;
};

RunOptions desktop_options(const Case& c) {
  RunOptions options;
  for (const auto& [name, value] : c.options) {
    if (name == "start") options.start = number(value);
    if (name == "stop") options.stop = number(value);
    if (name == "step") options.step = number(value);
    if (name == "output_step") options.output_step = number(value);
    if (name == "first_start") options.first_start = number(value);
    if (name == "integrator") options.integrator = value;
    if (name == "rtol") options.rtol = number(value);
    if (name == "variables") options.variables = value;
    if (name == "hold") options.hold = value;
    if (name == "strict") options.strict = true;
  }
  return options;
}

std::string cli_options(const Case& c) {
  std::string text;
  for (const auto& [name, value] : c.options) {
    std::string option = name;
    for (char& ch : option) ch = ch == '_' ? '-' : ch;
    text.append(" --").append(option);
    if (name != "strict") text.append(" '").append(value).append("'");
  }
  return text;
}

TEST_F(RunPreparationParityTest, TheCommandLineAndTheDesktopFindTheSame) {
  const std::vector<Case> cases = read_cases();
  ASSERT_GE(cases.size(), 15u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    make_inputs(c);

    // The headless preparation, as the desktop calls it on its model.
    const PreparedRun prepared = prepare_run({model, kExamples + "vindrel-example.par", drr},
                                             desktop_options(c), kDesktopSpelling);
    ASSERT_EQ(prepared.findings.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      const Finding& found = prepared.findings[i];
      const std::string level = found.usage                             ? "usage"
                                : found.level == FindingLevel::kRefusal ? "refusal"
                                                                        : "warning";
      EXPECT_EQ(level, c.expected[i].level);
      EXPECT_TRUE(text_matches(found.text, spelled(c.expected[i].text, kDesktopSpelling)))
          << found.text;
    }

    // vindrel-cli check, on files that hold the case's values.
    const auto check =
        testing::run_cli("check --par '" + par + "' --drivers '" + drr + "'" + cli_options(c));
    if (c.expected.front().level == "usage") {
      EXPECT_EQ(check.exit_code, 2);
      EXPECT_TRUE(check.err.starts_with("vindrel-cli: error: "));
      EXPECT_TRUE(text_matches(check.err.substr(20, check.err.find('\n') - 20),
                               spelled(c.expected.front().text, kCommandLineSpelling)))
          << check.err;
      continue;
    }
    const bool refused = c.expected.front().level == "refusal";
    EXPECT_EQ(check.exit_code, refused ? 1 : 3) << check.err;
    std::istringstream lines(check.out);
    std::string line;
    for (const Expected& expected : c.expected) {
      ASSERT_TRUE(std::getline(lines, line));
      const std::string prefix = expected.level == "refusal" ? "refused: " : "warning: ";
      EXPECT_TRUE(line.starts_with(prefix)) << line;
      EXPECT_TRUE(
          text_matches(line.substr(prefix.size()), spelled(expected.text, kCommandLineSpelling)))
          << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
  }
}

}  // namespace
}  // namespace vindrel
