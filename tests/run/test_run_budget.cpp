// Whole runs of the forest: a year whose running totals close the carbon,
// nitrogen and water budgets at every record, and a short run whose output
// file is compared byte for byte with a golden file.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/positions.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::OutputRecord;
using testing::read_output;

// A sum of state values and the sum of their magnitudes, for tolerances.
struct Sum {
  double value = 0.0;
  double magnitude = 0.0;
};

template <class States>
Sum sum_of(const States& states, std::initializer_list<int> positions) {
  Sum sum;
  for (int position : positions) {
    sum.value += states[position].value;
    sum.magnitude += std::fabs(states[position].value);
  }
  return sum;
}

constexpr std::initializer_list<int> kPlantCarbon = {state::Cf, state::Csw,  state::Chw,
                                                     state::Cr, state::Clfw, state::Clr};
constexpr std::initializer_list<int> kSoilCarbon = {state::Cs, state::Ce, state::Ci, state::Ch};
constexpr std::initializer_list<int> kPlantNitrogen = {state::Nf, state::Nsw, state::Nhw,
                                                       state::Nr, state::Nlf, state::Nlwr};
constexpr std::initializer_list<int> kSoilOrganicNitrogen = {state::Na, state::Nh};
constexpr std::initializer_list<int> kMineralNitrogen = {state::Nnh4, state::Nno3};
constexpr std::initializer_list<int> kWater = {state::Wr, state::Wg, state::Ws};

// Checks every budget identity of the states `now` against the run's start.
// `relative` is the tolerance per unit of the magnitudes involved: the output
// file keeps 13 significant digits, the state table all of them.
void expect_budgets_close(const statearray& start, const statearray& now, double relative,
                          const std::string& where) {
  auto v = [&now](int position) { return now[position].value; };
  auto expect_change = [&](std::initializer_list<int> pools, double change, double totals,
                           const char* what) {
    const Sum before = sum_of(start, pools);
    const Sum after = sum_of(now, pools);
    const double tolerance = relative * (before.magnitude + after.magnitude + totals);
    EXPECT_NEAR(after.value - before.value, change, tolerance) << what << " at " << where;
  };
  auto expect_equal = [&](double a, double b, double magnitude, const char* what) {
    EXPECT_NEAR(a, b, relative * magnitude) << what << " at " << where;
  };
  const double npp = v(state::NPPT), litter_c = v(state::lambdaCT), rs = v(state::RST);
  expect_change(kPlantCarbon, npp - litter_c, std::fabs(npp) + std::fabs(litter_c), "plant C");
  expect_change(kSoilCarbon, litter_c - rs, std::fabs(litter_c) + std::fabs(rs), "soil C");
  const double all_carbon_before =
      sum_of(start, kPlantCarbon).value + sum_of(start, kSoilCarbon).value;
  const double all_carbon_after = sum_of(now, kPlantCarbon).value + sum_of(now, kSoilCarbon).value;
  expect_equal(all_carbon_after - all_carbon_before, v(state::NepT),
               2.0 * (all_carbon_before + std::fabs(v(state::NepT))), "all C and NepT");
  expect_equal(npp, v(state::PST) - v(state::RPT), v(state::PST) + v(state::RPT), "NPPT");
  expect_equal(v(state::NepT), npp - rs, std::fabs(npp) + std::fabs(rs), "NepT");
  expect_equal(litter_c, v(state::lambdaCfT) + v(state::lambdaCwT) + v(state::lambdaCrT),
               2.0 * std::fabs(litter_c), "lambdaCT");

  const double un = v(state::UNT), fix = v(state::UnfixT), litter_n = v(state::lambdaNT);
  const double nmin = v(state::NminT), dn = v(state::DnT), qn = v(state::QNT);
  expect_change(kPlantNitrogen, un + fix - litter_n,
                std::fabs(un) + std::fabs(fix) + std::fabs(litter_n), "plant N");
  expect_change(kSoilOrganicNitrogen, litter_n - nmin, std::fabs(litter_n) + std::fabs(nmin),
                "soil organic N");
  expect_change(kMineralNitrogen, dn + nmin - un - qn,
                std::fabs(dn) + std::fabs(nmin) + std::fabs(un) + std::fabs(qn), "mineral N");
  expect_equal(litter_n, v(state::lambdaNfT) + v(state::lambdaNwT) + v(state::lambdaNrT),
               2.0 * std::fabs(litter_n), "lambdaNT");

  const double ppt = v(state::PptT), loss = v(state::QwT);
  expect_change(kWater, ppt - loss, ppt + std::fabs(loss), "water");
  expect_equal(loss, v(state::EtT) + v(state::QgT) + v(state::PptIT),
               std::fabs(v(state::EtT)) + std::fabs(v(state::QgT)) + v(state::PptIT), "QwT");
}

TEST(ForestYearTest, RunningTotalsCloseTheBudgetsAtEveryRecord) {
  testing::ScratchFolder folder;
  RunSettings settings;
  settings.driver_file = folder.file("weather.drr");
  settings.output_file = folder.file("year.out");
  settings.stop_time = 366.0;  // 365 steps, all in the model's first year
  testing::write_daily_drivers(settings.driver_file, 1, 400);
  Model model = support::temperate_forest();
  testing::RunState state;
  testing::RecordingObserver quiet;
  ASSERT_EQ(testing::run_and_commit(model, settings, state, quiet), RunOutcome::kCompleted);

  // The start of the run's budgets: the initial pools, and totals that the
  // first evaluation set to zero.
  statearray start = state.initial_states;
  for (int position = state::PptT; position <= state::QNT; ++position) start[position].value = 0.0;

  const std::vector<OutputRecord> records = read_output(settings.output_file);
  ASSERT_EQ(records.size(), 365u);
  for (const OutputRecord& record : records) {
    expect_budgets_close(start, record.states, 1e-11, "time " + std::to_string(record.time));
  }
  expect_budgets_close(start, model.states, 1e-12, "the end of the run");

  // Totals of the drivers: one value per step, at its start.
  driverarray day{};
  double precipitation = 0.0, deposition = 0.0;
  for (int d = 1; d <= 365; ++d) {
    testing::daily_weather(d, day);
    precipitation += day[driver::Ppt].value;
    deposition += day[driver::DNH4].value + day[driver::DNO3].value;
  }
  EXPECT_NEAR(model.states[state::PptT].value, precipitation, 1e-9);
  EXPECT_NEAR(model.states[state::DnT].value, deposition, 1e-12);
  EXPECT_EQ(model.states[state::Jday].value, 365.0);
  // A living forest: it photosynthesised, respired and shed litter.
  EXPECT_GT(model.states[state::PST].value, 0.0);
  EXPECT_GT(model.states[state::RST].value, 0.0);
  EXPECT_GT(model.states[state::lambdaCT].value, 0.0);
  EXPECT_GT(model.states[state::EtT].value, 0.0);
}

// The golden file holds two records (times 2 and 3) of a run with half-day
// steps from the forest with the test weather.
TEST(GoldenRunTest, ShortRunWritesExactlyTheGoldenFile) {
  testing::ScratchFolder folder;
  RunSettings settings;
  settings.driver_file = folder.file("weather.drr");
  settings.output_file = folder.file("short.out");
  settings.start_time = 1.0;
  settings.stop_time = 3.0;
  settings.time_step = 0.5;
  settings.output_step = 1.0;
  testing::write_daily_drivers(settings.driver_file, 1, 5);
  Model model = support::temperate_forest();
  testing::RunState state;
  testing::RecordingObserver quiet;
  ASSERT_EQ(testing::run_and_commit(model, settings, state, quiet), RunOutcome::kCompleted);
  const std::string golden = std::string(VINDREL_SOURCE_DIR) + "/tests/run/golden/short_run.out";
  const std::string written = testing::read_whole_file_bytes(settings.output_file);
  ASSERT_FALSE(written.empty());
  EXPECT_TRUE(written == testing::read_whole_file_bytes(golden))
      << "the output differs from " << golden;
}

}  // namespace
}  // namespace vindrel
