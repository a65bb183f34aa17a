// The findings about a run's inputs: each refusal and warning with its text,
// file and line, on small files made for the case.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "check/findings.hpp"
#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using ::testing::HasSubstr;
using testing::ScratchFolder;
using testing::write_daily_drivers;

class FindingsTest : public ::testing::Test {
 protected:
  FindingsTest() : model(support::temperate_forest()) {
    settings.parameter_file = folder.file("stand.par");
    settings.driver_file = folder.file("weather.drr");
    settings.start_time = 1.0;
    settings.stop_time = 366.0;
    WriteParamFile(settings.parameter_file, model);
    write_daily_drivers(settings.driver_file, 1, 400);
  }

  std::vector<Finding> check() { return check_run_inputs(model, settings); }

  // The findings as their texts, "FILE:LINE: text".
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const Finding& f : check()) out.push_back(finding_text(f));
    return out;
  }

  ScratchFolder folder;
  Model model;
  RunSettings settings;
};

TEST_F(FindingsTest, SoundFilesAndSettingsGiveNoFinding) { EXPECT_TRUE(check().empty()); }

TEST_F(FindingsTest, AStartAtOrAfterTheRepeatTimeIsRefusedAndNotRun) {
  settings.start_time = 366.0;
  settings.stop_time = 466.0;
  settings.repeat_drivers = true;
  settings.repeat_time = 366;
  const std::vector<Finding> found = check();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].level, FindingLevel::kRefusal);
  EXPECT_EQ(found[0].text,
            "Repeated drivers return to the start time once the driver time passes the repeat "
            "time; with the start at day 366 and the repeat time at day 366, every step would "
            "return to the start, and the whole run would see the weather of day 366 alone. Give "
            "a repeat time after the first step; to continue a run on repeated drivers, give the "
            "start time of its first run as the first start time.");
  // The run itself refuses the same way, before it writes anything.
  NullSink sink;
  const RunResult result = vindrel::Run(model, settings, sink);
  EXPECT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(result.failure_message(), found[0].text);
  EXPECT_EQ(result.steps_completed, 0);
  // One day after the start is the first repeat time that repeats anything.
  settings.repeat_time = 367;
  EXPECT_FALSE(any_refusal(check()));
}

TEST_F(FindingsTest, TheDriverFileEndingIsSaidForEveryRunRepeatedOrNot) {
  settings.stop_time = 500.0;
  EXPECT_THAT(texts(), ::testing::ElementsAre(settings.driver_file +
                                              ":402: the driver file ends at day 400; its "
                                              "last record holds from there to the stop time"));
  // Repeated from beyond the file's end: the last record holds up to the
  // repeat time, every round.
  settings.repeat_drivers = true;
  settings.repeat_time = 450;
  settings.stop_time = 1000.0;
  EXPECT_THAT(texts(), ::testing::ElementsAre(
                           settings.driver_file +
                           ":402: the driver file ends at day 400; its last record holds from "
                           "there to day 450, after which the drivers repeat"));
  settings.repeat_time = 400;
  EXPECT_TRUE(check().empty());
}

TEST_F(FindingsTest, AMidYearStartFromStatesWithADayOfTheYearNamesTheYearBoundaries) {
  model.states[state::Jday].value = 241.0;
  settings.start_time = 5000.0;
  settings.stop_time = 5010.0;
  write_daily_drivers(settings.driver_file, 4700, 5020);
  EXPECT_THAT(texts(), ::testing::ElementsAre(
                           "the run starts at day 5000, day 242 of a model year, from states "
                           "whose day of the year (Jday) is 241: the annual reset at the start "
                           "sets the phenology clocks and the yearly totals to 0 in mid-year. "
                           "Start at day 4758 or 5124, where the model's years turn, or continue "
                           "the run these states come from with its first start time"));
  settings.start_time = 4758.0;  // a boundary: the reset is the model's own
  EXPECT_TRUE(check().empty());
  settings.start_time = 5000.0;
  settings.first_start_time = 1.0;  // continued: no reset at the start
  EXPECT_TRUE(check().empty());
  settings.first_start_time.reset();
  model.states[state::Jday].value = 0.0;  // nothing to reset
  EXPECT_TRUE(check().empty());
}

TEST_F(FindingsTest, OutputTooSparseForTheYearsSumsIsSaid) {
  settings.stop_time = 1099.0;
  settings.output_step = 366.0;
  write_daily_drivers(settings.driver_file, 1, 1100);
  EXPECT_THAT(texts(), ::testing::ElementsAre(HasSubstr(
                           "with a record every 366 days, no record falls on the last day of 3 "
                           "model years (1 to 3) that the run covers: the annual summary gives no "
                           "sums")));
  // A record every two days from day 1 ends each year a day before its end.
  settings.output_step = 2.0;
  EXPECT_TRUE(check().empty());
  // From day 0, a record every 366 days falls on each year's end.
  write_daily_drivers(settings.driver_file, 0, 1100);
  settings.start_time = 0.0;
  settings.stop_time = 1098.0;
  settings.output_step = 366.0;
  EXPECT_TRUE(check().empty());
}

TEST_F(FindingsTest, DriverTimesThatGoBackAreRefusedWithTheLine) {
  // A reversed file: the lookup would hold its first record for the whole run.
  std::string text = "Time\r\ndays\r\n";
  for (int day = 400; day >= 1; --day) {
    text += std::to_string(day) + " 350 20 10 10 0 15 0.001 0.001";
    for (int i = 0; i < 10; ++i) text += " -1";
    text += "\r\n";
  }
  std::ofstream(settings.driver_file, std::ios::binary) << text;
  const std::vector<Finding> found = check();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].level, FindingLevel::kRefusal);
  EXPECT_EQ(finding_text(found[0]),
            settings.driver_file +
                ":4: Driver times out of order: expected the time of record 2 to be at least 400 "
                "(the time of record 1), found 399. The lookup only moves forward, so the run "
                "would skip 365 records of the days it uses; put the records in time order");
  EXPECT_THAT(finding_text(found[1]),
              HasSubstr(":3: the driver file's first record is for day 400, after the run's first "
                        "driver time, day 1: days 1 to 399 take the weather of day 400"));
}

TEST_F(FindingsTest, DriverTimesThatGoBackAfterTheRunAreLeftAlone) {
  std::string text = testing::read_whole_file_bytes(settings.driver_file);
  text += "390 350 20 10 10 0 15 0.001 0.001 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1\r\n";
  std::ofstream(settings.driver_file, std::ios::binary) << text;
  EXPECT_TRUE(check().empty());
}

TEST_F(FindingsTest, AFirstRecordAfterTheStartNamesBothTimes) {
  write_daily_drivers(settings.driver_file, 100, 400);
  EXPECT_THAT(texts(), ::testing::ElementsAre(
                           settings.driver_file +
                           ":3: the driver file's first record is for day 100, after the run's "
                           "first driver time, day 1: days 1 to 99 take the weather of day 100"));
}

TEST_F(FindingsTest, ValuesNoWeatherHasAreNamedWithLineAndDriver) {
  write_daily_drivers(settings.driver_file, 1, 400, [](int day, driverarray& d) {
    if (day == 10 || day == 12) d[driver::Ppt].value = -3.0;
    if (day == 20) d[driver::Tamax].value = 75.0;
    if (day == 30) d[driver::Ca].value = 0.0;
    if (day == 40) d[driver::DlambdaCF].value = -2.0;
    if (day == 50) d[driver::II].value = std::numeric_limits<double>::infinity();
    if (day == 390) d[driver::DNH4].value = -1.0;  // after the run: never used
  });
  // Day d of a file from day 1 is on line d + 2.
  const std::string f = settings.driver_file;
  EXPECT_THAT(
      texts(),
      ::testing::ElementsAre(
          f + ":32: driver Ca (CO2, Atm) is 0 ppm, CO2 at or below 0",
          f + ":22: driver Tamax (Temperature Max) is 75 oC, a temperature outside -90 to 60 oC",
          f + ":12: driver Ppt (H2O precip) is -3 mm H2O day-1, below 0, which no "
              "precipitation, radiation or deposition is; 2 records that the run uses have "
              "such values, this is the first",
          f + ":52: driver II (Incid Shortwave) is +Inf MJ m-2 day-1, not a finite number",
          f + ":42: driver DlambdaCF (Driver: Fol Litter C) is -2 g C m-2 day-1, below 0, and "
              "not -1 (the value that prescribes nothing)"));
}

TEST_F(FindingsTest, ARecordThatRunsOverIntoTheNextLineIsNamed) {
  std::string text = testing::read_whole_file_bytes(settings.driver_file);
  // Day 5's record loses its last number: it takes day 6's time instead.
  std::size_t line_start = 0;
  for (int line = 1; line < 7; ++line) line_start = text.find('\n', line_start) + 1;
  const std::size_t line_end = text.find("\r\n", line_start);
  const std::size_t last_field = text.find_last_not_of(' ', line_end - 1);
  const std::size_t cut = text.rfind(' ', last_field);
  text.erase(cut, line_end - cut);
  std::ofstream(settings.driver_file, std::ios::binary) << text;
  EXPECT_THAT(texts(),
              ::testing::ElementsAre(settings.driver_file +
                                     ":7: the record for day 5 has 18 of its 19 numbers on this "
                                     "line and takes the rest from line 8, whose other numbers "
                                     "are skipped: a number seems to be missing. The record is "
                                     "read across the line end, as driver records are"));
}

TEST_F(FindingsTest, ParameterLinesWithAnotherEntrysNameAreNamed) {
  // Swap two parameter lines, as a hand edit might.
  std::string text = testing::read_whole_file_bytes(settings.parameter_file);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at) + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  std::swap(lines[80], lines[81]);  // parameters 25 and 26, on lines 81 and 82
  text.clear();
  for (const std::string& line : lines) text += line;
  std::ofstream(settings.parameter_file, std::ios::binary) << text;
  const std::vector<std::string> found = texts();
  ASSERT_EQ(found.size(), 2u);
  const Tparamvariable& p25 = model.parameters[25];
  const Tparamvariable& p26 = model.parameters[26];
  EXPECT_EQ(found[0], settings.parameter_file + ":81: the name \"" + p26.name +
                          "\" is not the model's name for parameter 25 (" + p25.symbol + ", " +
                          p25.name + ") on this line, \"" + p25.name +
                          "\" (it is the name of parameter 26 (" + p26.symbol + ", " + p26.name +
                          ")): values are matched by position, so its value is taken as " +
                          p25.name);
  EXPECT_THAT(found[1], HasSubstr(":82: the name \"" + p25.name + "\""));
}

TEST_F(FindingsTest, ValuesThatAreNotFiniteAndNegativePoolsAreNamed) {
  model.parameters[5].value = std::numeric_limits<double>::infinity();
  model.states[state::Wr].value = -4.0;
  model.states[state::NepT].value = -4.0;  // a running total may be negative
  WriteParamFile(settings.parameter_file, model);
  const Tparamvariable& p = model.parameters[5];
  EXPECT_THAT(texts(),
              ::testing::ElementsAre(
                  settings.parameter_file +
                      ":22: the value of state 21 (Wr, H2O: Root-zone) is -4, below 0, which "
                      "this pool cannot be",
                  settings.parameter_file + ":61: the value of parameter 5 (" + p.symbol + ", " +
                      p.name + ") is +Inf, not a finite number"));
}

TEST_F(FindingsTest, AFailureOnANonFiniteValueNamesTheFileAndLine) {
  model.states[state::Cf].value = std::numeric_limits<double>::quiet_NaN();
  WriteParamFile(settings.parameter_file, model);
  NullSink sink;
  const RunResult result = vindrel::Run(model, settings, sink);
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(failure_cause_text(result.failure_detail, model, settings),
            "  from " + settings.parameter_file + ":2: state 1 (Cf, C: foliar) is Nan\n");
}

TEST_F(FindingsTest, UnreadableFilesAreRefusedWithTheirOwnMessages) {
  settings.driver_file = folder.file("absent.drr");
  settings.parameter_file = folder.file("absent.par");
  EXPECT_THAT(texts(), ::testing::ElementsAre(
                           settings.parameter_file + ": File not found",
                           settings.driver_file + ": " + std::string(kDriverFileMissingMessage)));
}

}  // namespace
}  // namespace vindrel
