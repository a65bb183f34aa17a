// The frame of an evaluation: parameter positions, the prescribed soil mineral
// nitrogen, the annual reset, the once-per-step updates, the turn of the
// model's year and the storing of derivatives and processes.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/testing.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

// The clocks and running totals that the annual reset sets to 0.
constexpr std::array<int, 27> kYearlyStates = {
    state::Jday,      state::DDa,       state::DDs,       state::PptT,      state::PptIT,
    state::EtT,       state::QgT,       state::QwT,       state::DnT,       state::PST,
    state::NPPT,      state::tauNT,     state::RPT,       state::lambdaCfT, state::lambdaCwT,
    state::lambdaCrT, state::lambdaNfT, state::lambdaNwT, state::lambdaNrT, state::lambdaCT,
    state::lambdaNT,  state::RST,       state::NepT,      state::UNT,       state::UnfixT,
    state::NminT,     state::QNT};

class EvaluationFrame : public ::testing::Test {
 protected:
  void evaluate(double time, bool step_update) {
    EvaluateEquations(model, clock, model.states, time, model.processes, step_update);
  }
  double state(int position) const { return model.states[position].value; }
  double process(int position) const { return model.processes[position].value; }
  void hold(int position) { model.states[position].HoldConstant = true; }

  Model model = support::temperate_forest();
  EvaluationClock clock{1.0, 0.0};  // one-day steps from time 0
};

TEST_F(EvaluationFrame, EveryParameterIsReadFromItsOwnTablePosition) {
  struct Named {
    int position;
    const char* symbol;
  };
  constexpr Named kParameters[] = {
#define VINDREL_PARAMETER(id, symbol, name, units) {parameter::id, symbol},
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
  };
  for (const Named& named : kParameters) {
    EXPECT_EQ(model.parameters[named.position].symbol, named.symbol) << named.position;
  }
  // A process's parameters start right after FirstParamIndex, also for
  // parameters that other processes borrow.
  EXPECT_EQ(FirstParamIndex(model, process::Hd) + 1, parameter::Deltad);
  EXPECT_EQ(FirstParamIndex(model, process::LAI) + 1, parameter::mF);
  EXPECT_EQ(FirstParamIndex(model, process::Nnh4aq) + 2, parameter::z);
  EXPECT_EQ(FirstParamIndex(model, process::fRLF) + 1, parameter::sL);
  EXPECT_EQ(FirstParamIndex(model, process::FoliagePhenology) + 4, parameter::JlambdaStart);
  EXPECT_EQ(FirstParamIndex(model, process::Fntri) + 1, parameter::aNtri);

  model.parameters[parameter::mF].value = 60.0;
  evaluate(100.0, false);
  EXPECT_DOUBLE_EQ(process(process::LAI), 2.5);
}

TEST_F(EvaluationFrame, SoilNitrogenDriverOfMinusOneLeavesTheStateToTheModel) {
  evaluate(100.0, false);
  EXPECT_EQ(state(state::Nnh4), 1.0);
  EXPECT_EQ(state(state::Nno3), 0.3);
  EXPECT_DOUBLE_EQ(process(process::NIT), 1.3);
}

TEST_F(EvaluationFrame, SoilNitrogenDriverOfZeroReplacesTheState) {
  model.drivers[driver::DNnh4].value = 0.0;
  evaluate(100.0, false);
  EXPECT_EQ(state(state::Nnh4), 0.0);
  EXPECT_EQ(process(process::Nnh4aq), 0.0);
  EXPECT_EQ(process(process::UNH4), 0.0);
  EXPECT_EQ(state(state::Nno3), 0.3);
}

TEST_F(EvaluationFrame, AnyOtherSoilNitrogenDriverValueReplacesTheStateAtEveryEvaluation) {
  model.drivers[driver::DNnh4].value = 2.5;
  model.drivers[driver::DNno3].value = 0.7;
  evaluate(100.0, false);
  EXPECT_EQ(state(state::Nnh4), 2.5);
  EXPECT_EQ(state(state::Nno3), 0.7);
  EXPECT_DOUBLE_EQ(process(process::NIT), 3.2);

  model.states[state::Nnh4].value = 9.0;
  evaluate(101.0, true);
  EXPECT_EQ(state(state::Nnh4), 2.5);

  // Even a held state takes the prescribed value.
  hold(state::Nno3);
  model.states[state::Nno3].value = 9.0;
  evaluate(102.0, false);
  EXPECT_EQ(state(state::Nno3), 0.7);
}

TEST_F(EvaluationFrame, ResetAtTheStartTimeZeroesClocksAndTotalsAndClearsSenescenceDays) {
  model.states[state::Jdfs].value = 250.0;
  model.states[state::Jdws].value = 251.0;
  model.states[state::Jdrs].value = 252.0;
  clock.start_time = 100.0;
  const Model before = model;
  evaluate(100.0, false);
  for (const int yearly : kYearlyStates) EXPECT_EQ(state(yearly), 0.0) << yearly;
  EXPECT_EQ(state(state::Jdfs), 999.0);
  EXPECT_EQ(state(state::Jdws), 999.0);
  EXPECT_EQ(state(state::Jdrs), 999.0);
  // Pools, water, leaf area and the running mean cost are never reset.
  for (const int kept : {state::Cf, state::Clfw, state::Ch, state::Nnh4, state::Wr, state::Wg,
                         state::Ws, state::Laieos, state::qUnT}) {
    EXPECT_EQ(state(kept), before.states[kept].value) << kept;
  }
  EXPECT_FALSE(model.NewYear);
}

TEST_F(EvaluationFrame, NoResetAwayFromTheStartTimeWithoutNewYear) {
  const Model before = model;
  evaluate(100.5, false);
  for (int i = 1; i <= state::kCount; ++i) EXPECT_EQ(state(i), before.states[i].value) << i;
}

TEST_F(EvaluationFrame, ResetSparesHeldStatesButTheEvaluationSeesZero) {
  hold(state::Jday);
  hold(state::PptT);
  hold(state::Jdfs);
  model.states[state::Jdfs].value = 250.0;
  model.states[state::Jdws].value = 251.0;
  evaluate(0.0, false);  // the start time
  EXPECT_EQ(state(state::Jday), 200.0);
  EXPECT_EQ(state(state::PptT), 600.0);
  EXPECT_EQ(state(state::Jdfs), 250.0);
  EXPECT_EQ(state(state::Jdws), 999.0);

  // The day length of this evaluation is that of day 0, not of day 200.
  Model day_zero = support::temperate_forest();
  day_zero.states[state::Jday].value = 0.0;
  EvaluateEquations(day_zero, clock, day_zero.states, 50.0, day_zero.processes, false);
  EXPECT_EQ(process(process::Hd), day_zero.processes[process::Hd].value);
  EXPECT_LT(process(process::Hd), 10.0);
}

TEST_F(EvaluationFrame, ResetEvaluationDoesNotStartSenescenceFromLastYearsDay) {
  model.parameters[parameter::JlambdaStart].value = 0.0;
  model.parameters[parameter::TacrF].value = 30.0;
  model.parameters[parameter::TacrW].value = 30.0;
  model.states[state::Jdfs].value = 250.0;  // set last year
  model.states[state::Jdws].value = 999.0;
  evaluate(0.0, true);
  // Foliage: the local day read at entry is not 999, so the reset's 999 stays.
  EXPECT_EQ(state(state::Jdfs), 999.0);
  // Wood: senescence starts on the day after this step of the new year.
  EXPECT_EQ(state(state::Jdws), 1.0);
}

TEST_F(EvaluationFrame, EndOfStepUpdatesTheStatesInPlace) {
  clock.time_step = 0.5;
  model.states[state::Ws].value = 10.0;
  model.states[state::Laieos].value = 4.0;
  const Model before = model;
  evaluate(200.5, true);
  const auto old = [&before](int position) { return before.states[position].value; };
  const double dt = 0.5;
  const double Pptr = process(process::Pptr);
  const double PptI = process(process::PptI);
  const double Ms = process(process::Ms);
  EXPECT_EQ(Pptr, 3.6);
  EXPECT_EQ(process(process::Ppts), 0.0);
  EXPECT_DOUBLE_EQ(PptI, 0.65);
  EXPECT_GT(Ms, 0.0);
  EXPECT_DOUBLE_EQ(state(state::Wr), old(state::Wr) + (Pptr - PptI + Ms) * dt);
  EXPECT_DOUBLE_EQ(state(state::Ws), old(state::Ws) + (0.0 - Ms) * dt);
  EXPECT_EQ(state(state::Laieos), process(process::LAI));
  EXPECT_EQ(state(state::Jday), 200.5);
  EXPECT_DOUBLE_EQ(state(state::DDa), 1500.0 + 21.05 * dt);
  EXPECT_DOUBLE_EQ(state(state::DDs), 1400.0 + 22.0 * dt);
  EXPECT_DOUBLE_EQ(state(state::PptT), 600.0 + 3.6 * dt);
  EXPECT_DOUBLE_EQ(state(state::PptIT), 60.0 + PptI * dt);
  EXPECT_DOUBLE_EQ(state(state::QwT), 460.0 + PptI * dt);
  EXPECT_DOUBLE_EQ(state(state::DnT), 0.4 + 0.0021 * dt);
  EXPECT_DOUBLE_EQ(process(process::Dn), 0.0021);
  // The integrated states are the integrator's business.
  for (const int integrated : {state::Cf, state::Nlwr, state::Wg, state::EtT, state::QgT,
                               state::qUnT, state::PST, state::Jdfs}) {
    EXPECT_EQ(state(integrated), old(integrated)) << integrated;
  }
  EXPECT_FALSE(model.NewYear);
}

TEST_F(EvaluationFrame, EndOfStepLeavesHeldStatesAlone) {
  model.states[state::Laieos].value = 4.0;
  const int updated[] = {state::Wr,  state::Ws,   state::Laieos, state::Jday, state::DDa,
                         state::DDs, state::PptT, state::PptIT,  state::QwT,  state::DnT};
  for (const int position : updated) hold(position);
  const Model before = model;
  evaluate(201.0, true);
  for (const int position : updated) {
    EXPECT_EQ(state(position), before.states[position].value) << position;
  }
}

TEST_F(EvaluationFrame, SenescenceDayIsWrittenEvenWhenHeld) {
  model.states[state::Jday].value = 250.0;
  model.parameters[parameter::TacrF].value = 25.0;  // the day is cooler than that
  hold(state::Jdfs);
  evaluate(251.0, true);
  EXPECT_EQ(state(state::Jdfs), 251.0);
  EXPECT_EQ(state(state::Jdws), 999.0);  // 21.05 oC is above TacrW
}

TEST_F(EvaluationFrame, TurnOfTheModelYearAt366) {
  model.states[state::Jday].value = 364.0;
  evaluate(365.0, true);
  EXPECT_FALSE(model.NewYear);
  EXPECT_EQ(state(state::Jday), 365.0);

  evaluate(366.0, true);
  EXPECT_TRUE(model.NewYear);
  EXPECT_EQ(state(state::Jday), 366.0);

  // The integrator's evaluations during the next step reset only their copies.
  StateVector y{};
  StateVector dydt{};
  for (int i = 1; i <= state::kCount; ++i) y[i - 1] = state(i);
  ComputeDerivatives(model, clock, y, dydt, 366.5);
  EXPECT_EQ(state(state::Jday), 366.0);
  EXPECT_DOUBLE_EQ(state(state::PptT), 600.0 + 2.0 * 3.6);

  // The next end-of-step evaluation resets, then advances by one step.
  evaluate(367.0, true);
  EXPECT_FALSE(model.NewYear);
  EXPECT_EQ(state(state::Jday), 1.0);
  EXPECT_EQ(state(state::DDa), 0.0);  // day 0 is before Jddstart
  EXPECT_DOUBLE_EQ(state(state::PptT), 3.6);
  EXPECT_DOUBLE_EQ(state(state::PptIT), process(process::PptI));
  EXPECT_EQ(state(state::EtT), 0.0);
  EXPECT_EQ(state(state::Jdfs), 999.0);
}

TEST_F(EvaluationFrame, WithoutStepUpdateRainSnowInterceptionAndMeltAreZeroAndNoStateMoves) {
  model.drivers[driver::Tamax].value = 4.0;  // a thawing day on a snowpack
  model.drivers[driver::Tamin].value = -1.0;
  model.states[state::Ws].value = 40.0;
  for (int i = 1; i <= process::kCount; ++i) model.processes[i].value = 7.0;
  const Model before = model;
  evaluate(100.0, false);
  EXPECT_EQ(process(process::Pptr), 0.0);
  EXPECT_EQ(process(process::PptI), 0.0);
  EXPECT_EQ(process(process::Ppts), 0.0);
  EXPECT_EQ(process(process::Ms), 0.0);
  for (int i = 1; i <= state::kCount; ++i) EXPECT_EQ(state(i), before.states[i].value) << i;
  EXPECT_FALSE(model.NewYear);
}

TEST_F(EvaluationFrame, HeldStateHasDerivativeZero) {
  evaluate(100.0, false);
  ASSERT_NE(process(state::Csw), 0.0);
  EXPECT_DOUBLE_EQ(process(state::Wr), -(process(process::ET) + process(process::DR)));

  hold(state::Csw);
  hold(state::Wr);
  evaluate(100.0, false);
  EXPECT_EQ(process(state::Csw), 0.0);
  EXPECT_EQ(process(state::Wr), 0.0);
  EXPECT_NE(process(state::Cr), 0.0);
}

TEST_F(EvaluationFrame, ProcessesAreStoredByPosition) {
  for (int i = 1; i <= kProcessCapacity; ++i) model.processes[i].value = 7.0;
  evaluate(100.0, false);
  EXPECT_DOUBLE_EQ(process(process::Ta), 21.05);
  EXPECT_EQ(process(process::TsMean), 22.0);  // the soil temperature driver
  EXPECT_DOUBLE_EQ(process(process::LAI), 5.0);
  EXPECT_DOUBLE_EQ(process(process::Aw), 0.75);
  // The labile wood and root respiration share a symbol but not an entry.
  EXPECT_EQ(process(99), process(process::RWmet) * process(process::fRLW));
  EXPECT_EQ(process(100), process(process::RRmet) * process(process::fRLR));
  // The phenology entries only carry parameters.
  EXPECT_EQ(process(process::FoliagePhenology), 0.0);
  EXPECT_EQ(process(process::WoodPhenology), 0.0);
  EXPECT_EQ(process(process::RootPhenology), 0.0);
  // Nothing beyond the 189 entries.
  for (int i = process::kCount + 1; i <= kProcessCapacity; ++i) EXPECT_EQ(process(i), 7.0) << i;
}

TEST_F(EvaluationFrame, WholeTablesAndStateValuesGiveTheSameResults) {
  model.drivers[driver::DNnh4].value = 1.7;
  hold(state::Wr);
  Model other = model;
  evaluate(0.0, true);  // reset, overrides and step updates together

  StateValues values = state_values_of(other.states, state::kCount);
  ProcessValues processes{};
  EvaluateEquations(other, clock, values, 0.0, processes, true);
  for (int i = 1; i <= state::kCount; ++i) EXPECT_EQ(values.value[i], state(i)) << i;
  for (int i = 1; i <= process::kCount; ++i) EXPECT_EQ(processes[i], process(i)) << i;
  EXPECT_EQ(other.NewYear, model.NewYear);
}

}  // namespace
}  // namespace vindrel
