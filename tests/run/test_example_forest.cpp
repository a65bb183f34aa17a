// The example stand of examples/: a few years of the 30-year example, run as
// the command line runs it, must look like a temperate deciduous forest every
// year, and the whole run must close its carbon, nitrogen and water budgets:
// the change of each stock equals the sum of the yearly running totals of the
// fluxes that change it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

constexpr int kYears = 4;
constexpr double kModelYear = 366.0;

const std::string kExampleParameters =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.par";
const std::string kExampleDrivers =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.drr";

// Carbon, nitrogen (organic and mineral) and water held by the stand.
struct Stocks {
  double carbon = 0.0;    // g C m-2
  double nitrogen = 0.0;  // g N m-2
  double water = 0.0;     // mm
};

Stocks stocks_of(const statearray& s) {
  Stocks t;
  for (int i : {state::Cf, state::Csw, state::Chw, state::Cr, state::Clfw, state::Clr, state::Cs,
                state::Ce, state::Ci, state::Ch}) {
    t.carbon += s[i].value;
  }
  for (int i : {state::Nf, state::Nsw, state::Nhw, state::Nr, state::Nlf, state::Nlwr, state::Na,
                state::Nh, state::Nnh4, state::Nno3}) {
    t.nitrogen += s[i].value;
  }
  t.water = s[state::Wr].value + s[state::Wg].value + s[state::Ws].value;
  return t;
}

// One model year of the run, from its daily records.
struct Year {
  // Running totals at the year's last record.
  double gpp = 0, npp = 0, nep = 0, soil_respiration = 0, et = 0, interception = 0;
  double discharge = 0, precipitation = 0, water_losses = 0, leaf_litter_c = 0;
  double leaf_litter_n = 0, uptake = 0, net_mineralisation = 0, deposition = 0, fixation = 0;
  double leaching = 0;
  // From the daily records.
  std::vector<double> lai;
  std::vector<double> snow;
  int dry_days = 0;
  bool all_finite = true;
  double last_time = 0.0;
  // Stocks at the year's first and last records, and the running totals at its
  // first record (the once-per-step totals already hold the first step there).
  Stocks first_stocks, last_stocks;
  double first_precipitation = 0.0, first_water_losses = 0.0, first_nep = 0.0;
  double first_nitrogen_in = 0.0;
  // End-point fluxes of the first record, for the step that the reset leaves
  // out of the integrated totals.
  double first_record_nep = 0.0, first_record_water_out = 0.0;
  bool has_first = false;

  double peak_lai() const {
    double peak = 0.0;
    for (double v : lai) peak = std::max(peak, v);
    return peak;
  }
  // First day with half of the peak leaf area, and the first day after the
  // peak with less than half of it.
  int leaf_out() const {
    for (std::size_t i = 0; i < lai.size(); ++i) {
      if (lai[i] >= 0.5 * peak_lai()) return static_cast<int>(i) + 1;
    }
    return 0;
  }
  int leaf_fall() const {
    std::size_t peak = 0;
    for (std::size_t i = 0; i < lai.size(); ++i) {
      if (lai[i] > lai[peak]) peak = i;
    }
    for (std::size_t i = peak; i < lai.size(); ++i) {
      if (lai[i] < 0.5 * peak_lai()) return static_cast<int>(i) + 1;
    }
    return 0;
  }
  // Day after the last spring day with snow on the ground.
  int melt_day() const {
    int day = 0;
    for (std::size_t i = 0; i < snow.size() && i < 183; ++i) {
      if (snow[i] > 0.0) day = static_cast<int>(i) + 2;
    }
    return day;
  }
  double peak_snow() const {
    double peak = 0.0;
    for (double v : snow) peak = std::max(peak, v);
    return peak;
  }
};

class ExampleForest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Model model = make_model();
    ASSERT_TRUE(ReadParamFile(kExampleParameters, model)) << kExampleParameters;
    initial_ = new Stocks(stocks_of(model.states));

    folder_ = new testing::ScratchFolder();
    RunSettings settings;
    settings.start_time = 1.0;
    settings.stop_time = kYears * kModelYear;  // the last record closes the last year
    settings.time_step = 1.0;
    settings.output_step = 1.0;
    settings.batch_mode = true;  // a failure is thrown, not shown
    settings.driver_file = kExampleDrivers;
    settings.output_file = folder_->file("example.out");
    testing::RunState state;
    testing::RecordingObserver quiet;
    outcome_ = testing::run_and_commit(model, settings, state, quiet);
    final_ = new Stocks(stocks_of(model.states));

    // Read the records back as the summary does: year k holds the records at
    // times 366 (k - 1) < t <= 366 k.
    years_ = new std::vector<Year>(kYears);
    Model records = make_model();
    OutputFileReader file;
    file.open(settings.output_file);
    double time = 0.0;
    while (file.read_record(time, records)) {
      const auto index = static_cast<std::size_t>(std::ceil(time / kModelYear)) - 1;
      ASSERT_LT(index, years_->size());
      Year& y = (*years_)[index];
      const auto st = [&records](int i) { return records.states[i].value; };
      const auto pr = [&records](int i) { return records.processes[i].value; };
      for (int i = 1; i <= records.ModelInfo.StateCount; ++i) {
        y.all_finite = y.all_finite && std::isfinite(records.states[i].value);
      }
      for (int i = records.ModelInfo.StateCount + 1; i <= records.ModelInfo.ProcessCount; ++i) {
        y.all_finite = y.all_finite && std::isfinite(records.processes[i].value);
      }
      y.last_time = time;
      y.last_stocks = stocks_of(records.states);
      if (!y.has_first) {
        y.has_first = true;
        y.first_stocks = y.last_stocks;
        y.first_precipitation = st(state::PptT);
        y.first_water_losses = st(state::QwT);
        y.first_nep = st(state::NepT);
        y.first_nitrogen_in = st(state::DnT) + st(state::UnfixT) - st(state::QNT);
        y.first_record_nep = pr(process::NEP);
        y.first_record_water_out = pr(process::ET) + pr(process::Qg);
      }
      y.gpp = st(state::PST);
      y.npp = st(state::NPPT);
      y.nep = st(state::NepT);
      y.soil_respiration = st(state::RST);
      y.et = st(state::EtT);
      y.interception = st(state::PptIT);
      y.discharge = st(state::QgT);
      y.precipitation = st(state::PptT);
      y.water_losses = st(state::QwT);
      y.leaf_litter_c = st(state::lambdaCfT);
      y.leaf_litter_n = st(state::lambdaNfT);
      y.uptake = st(state::UNT);
      y.net_mineralisation = st(state::NminT);
      y.deposition = st(state::DnT);
      y.fixation = st(state::UnfixT);
      y.leaching = st(state::QNT);
      y.lai.push_back(pr(process::LAI));
      y.snow.push_back(st(state::Ws));
      if (pr(process::Aw) <= 0.0) ++y.dry_days;
    }
    file.close();
  }

  static void TearDownTestSuite() {
    delete years_;
    delete final_;
    delete initial_;
    delete folder_;
  }

  static testing::ScratchFolder* folder_;
  static RunOutcome outcome_;
  static Stocks* initial_;
  static Stocks* final_;
  static std::vector<Year>* years_;
};

testing::ScratchFolder* ExampleForest::folder_ = nullptr;
RunOutcome ExampleForest::outcome_ = RunOutcome::kFailed;
Stocks* ExampleForest::initial_ = nullptr;
Stocks* ExampleForest::final_ = nullptr;
std::vector<Year>* ExampleForest::years_ = nullptr;

TEST_F(ExampleForest, RunsEveryYearToItsEndWithFiniteValues) {
  ASSERT_EQ(outcome_, RunOutcome::kCompleted);
  for (int k = 0; k < kYears; ++k) {
    const Year& y = (*years_)[static_cast<std::size_t>(k)];
    EXPECT_EQ(y.last_time, (k + 1) * kModelYear) << "year " << k + 1;
    EXPECT_TRUE(y.all_finite) << "year " << k + 1;
  }
}

// The ranges are the published figures of the site widened a little: single
// years of synthetic weather scatter around the calibrated means, so a check
// that fails here means the stand has left the behaviour of a real forest,
// not that one year is a few percent off.
TEST_F(ExampleForest, CarbonFluxesLookLikeATemperateHardwoodStand) {
  for (int k = 0; k < kYears; ++k) {
    const Year& y = (*years_)[static_cast<std::size_t>(k)];
    SCOPED_TRACE("year " + std::to_string(k + 1));
    EXPECT_GT(y.gpp, 1150.0);  // published 1300-1600 g C m-2 yr-1
    EXPECT_LT(y.gpp, 1750.0);
    EXPECT_GT(y.npp, 650.0);  // published 750-970
    EXPECT_LT(y.npp, 1050.0);
    EXPECT_GT(y.npp / y.gpp, 0.45);  // about 0.55-0.6
    EXPECT_LT(y.npp / y.gpp, 0.7);
    EXPECT_GT(y.nep, 50.0);  // published 150-400, a stand that still gains carbon
    EXPECT_LT(y.nep, 450.0);
    EXPECT_GT(y.soil_respiration, 400.0);  // heterotrophic, about NPP - NEP: 500-650
    EXPECT_LT(y.soil_respiration, 750.0);
    EXPECT_GT(y.leaf_litter_c, 120.0);  // published 140-180 g C and 3-4 g N
    EXPECT_LT(y.leaf_litter_c, 200.0);
    EXPECT_GT(y.leaf_litter_n, 2.5);
    EXPECT_LT(y.leaf_litter_n, 4.5);
  }
}

TEST_F(ExampleForest, LeavesComeOutInSpringAndFallInAutumn) {
  for (int k = 0; k < kYears; ++k) {
    const Year& y = (*years_)[static_cast<std::size_t>(k)];
    SCOPED_TRACE("year " + std::to_string(k + 1));
    EXPECT_GT(y.peak_lai(), 4.0);  // published 4.5-5
    EXPECT_LT(y.peak_lai(), 5.6);
    EXPECT_GE(y.leaf_out(), 115);  // early to mid May, days 125-140
    EXPECT_LE(y.leaf_out(), 150);
    EXPECT_GE(y.leaf_fall(), 265);  // through October, days 270-305
    EXPECT_LE(y.leaf_fall(), 310);
    EXPECT_LT(y.lai.front(), 0.5);  // bare in winter
    EXPECT_LT(y.lai.back(), 0.5);
  }
}

TEST_F(ExampleForest, WaterAndSnowBehaveLikeTheSitesHydrology) {
  for (int k = 0; k < kYears; ++k) {
    const Year& y = (*years_)[static_cast<std::size_t>(k)];
    SCOPED_TRACE("year " + std::to_string(k + 1));
    const double evapotranspiration = y.et + y.interception;  // precipitation less runoff
    EXPECT_GT(evapotranspiration, 400.0);                     // published 450-600 mm
    EXPECT_LT(evapotranspiration, 650.0);
    EXPECT_GT(y.discharge, 350.0);  // published 450-900 mm
    EXPECT_LT(y.discharge, 1000.0);
    EXPECT_GT(y.peak_snow(), 20.0);   // a snowpack every winter
    EXPECT_LT(y.peak_snow(), 350.0);  // 100-300 mm at the site
    EXPECT_LE(y.melt_day(), 130);     // gone by early May
    EXPECT_LE(y.dry_days, 10);        // root-zone water rarely at wilting point
  }
}

TEST_F(ExampleForest, NitrogenCycleMatchesTheSitesFigures) {
  for (int k = 0; k < kYears; ++k) {
    const Year& y = (*years_)[static_cast<std::size_t>(k)];
    SCOPED_TRACE("year " + std::to_string(k + 1));
    EXPECT_GT(y.uptake, 5.0);  // published 6-10 g N m-2 yr-1
    EXPECT_LT(y.uptake, 11.0);
    EXPECT_GT(y.net_mineralisation, 4.0);  // published 5-10
    EXPECT_LT(y.net_mineralisation, 11.0);
    EXPECT_GT(y.deposition, 0.5);  // 0.7-0.8 at the site
    EXPECT_LT(y.deposition, 1.0);
    EXPECT_LT(y.leaching, 0.5);  // a nitrogen-limited forest loses little
  }
}

// Each stock changes by the running totals of the fluxes that feed and drain
// it. The totals are integrated with the states, so within a year the
// differences are the integrator's and the output file's rounding. The annual
// reset comes after the step that follows a year's end and sets the totals to
// 0: the once-per-step totals (precipitation, interception, deposition) then
// take that step's increment, but the integrated ones (NEP, evapotranspiration,
// discharge, leaching) lose it. So year 1 is checked from the run's start and
// every later year from its first record; the whole run is the sum of the years
// and of those first steps, each of which must agree with the fluxes of its day.
TEST_F(ExampleForest, WholeRunClosesTheCarbonNitrogenAndWaterBudgets) {
  double carbon_accounted = 0.0, nitrogen_accounted = 0.0, water_accounted = 0.0;
  for (std::size_t k = 0; k < years_->size(); ++k) {
    const Year& y = (*years_)[k];
    SCOPED_TRACE("year " + std::to_string(k + 1));
    // Year 1 starts at the run's start, where the totals start at 0; later
    // years at their first record.
    const Stocks from = k == 0 ? *initial_ : y.first_stocks;
    const double nep = k == 0 ? y.nep : y.nep - y.first_nep;
    const double nitrogen_in =
        y.deposition + y.fixation - y.leaching - (k == 0 ? 0.0 : y.first_nitrogen_in);
    const double water_in = (y.precipitation - y.water_losses) -
                            (k == 0 ? 0.0 : y.first_precipitation - y.first_water_losses);
    EXPECT_NEAR(y.last_stocks.carbon - from.carbon, nep, 1e-10 * from.carbon);
    EXPECT_NEAR(y.last_stocks.nitrogen - from.nitrogen, nitrogen_in, 1e-10 * from.nitrogen);
    EXPECT_NEAR(y.last_stocks.water - from.water, water_in, 1e-10 * (from.water + water_in));
    carbon_accounted += nep;
    nitrogen_accounted += nitrogen_in;
    water_accounted += water_in;
    if (k == 0) continue;
    // The year's first step: the change of the stocks against the day's
    // fluxes at its end (a day of winter, so they change little within it).
    const Year& before = (*years_)[k - 1];
    const double carbon_step = y.first_stocks.carbon - before.last_stocks.carbon;
    const double water_step = y.first_stocks.water - before.last_stocks.water;
    EXPECT_NEAR(carbon_step, y.first_record_nep, 0.2 + 0.2 * std::fabs(y.first_record_nep));
    const double water_expected =
        y.first_precipitation - y.first_water_losses - y.first_record_water_out;
    EXPECT_NEAR(water_step, water_expected, 0.2 + 0.2 * std::fabs(y.first_record_water_out));
    carbon_accounted += carbon_step;
    nitrogen_accounted += y.first_stocks.nitrogen - before.last_stocks.nitrogen;
    water_accounted += water_step;
  }
  // The whole run: the years and their first steps add up to the change from
  // the parameter file's initial states to the final states.
  EXPECT_NEAR(final_->carbon - initial_->carbon, carbon_accounted, 1e-10 * initial_->carbon);
  EXPECT_NEAR(final_->nitrogen - initial_->nitrogen, nitrogen_accounted,
              1e-10 * initial_->nitrogen);
  EXPECT_NEAR(final_->water - initial_->water, water_accounted, 1e-10 * initial_->water);
}

}  // namespace
}  // namespace vindrel
