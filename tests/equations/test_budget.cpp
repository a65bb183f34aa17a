// Conservation of carbon, nitrogen and water over many random but valid
// stands. For each set of pools, the sum of the pools' derivatives must equal
// the fluxes across the set's boundary (up to rounding):
//
//   plant carbon   Cf Csw Chw Cr Clfw Clr        Ps - Rp - lambdaC = NPP - lambdaC
//   soil carbon    Cs Ce Ci Ch                   lambdaC - Rs
//   all carbon     the ten above                 NEP = Ps - Rp - Rs
//   plant nitrogen Nf Nsw Nhw Nr Nlf Nlwr        Un + Unfix - lambdaN
//   soil organic N Na Nh                         lambdaN - Nmin
//   mineral N      Nnh4 Nno3                     Dn + Nmin - Un - Qn
//   all nitrogen   the ten above                 Unfix + Dn - Qn
//   water          Wr Wg Ws QwT                  0 (ET and discharge leave the
//                  stores for the loss total QwT)
//
// and the running totals agree with them: NPPT' = PST' - RPT', NepT' = NPPT' -
// RST', plant carbon' = PST' - RPT' - lambdaCT', lambdaCT' and lambdaNT' are
// the sums of their tissue totals, QwT' = EtT' + QgT'. Over an end-of-step
// update, Wr + Ws + QwT grow by exactly the precipitation that PptT receives,
// since rain, interception and snowmelt only move water between them.
//
// The litter groups onward are checked on random values of everything they
// read; the whole evaluation is checked on random stands with one set of
// forest parameters.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "equations/testing.hpp"

namespace vindrel {
namespace {

using equations::Evaluation;

constexpr int kCases = 400;

// ------------------------------------------------------------ a forest stand

struct ParameterValue {
  int position;
  double value;
};

// A temperate forest.
constexpr ParameterValue kForest[] = {
    {parameter::Deltad, 43.0},
    {parameter::Tas, 0.0},
    {parameter::bIf, 0.3},
    {parameter::bIsw, 0.0001},
    {parameter::Ww, 50.0},
    {parameter::Wf, 200.0},
    {parameter::Psiw, -1.5},
    {parameter::Psif, -0.03},
    {parameter::alphaT, 0.15},
    {parameter::gAW, 20.0},
    {parameter::rhot, 0.8},
    {parameter::alphas, 0.6},
    {parameter::gammat, 0.5},
    {parameter::alphaD, 0.1},
    {parameter::alphaQ, 0.05},
    {parameter::rhoS, 1.3e6},
    {parameter::z, 0.5},
    {parameter::Vnh4max, 1e-6},
    {parameter::etaNH4, 50.0},
    {parameter::Vno3max, 1e-7},
    {parameter::etaNO3, 50.0},
    {parameter::h1, 20.0},
    {parameter::h2, 0.5},
    {parameter::omegaS, 1.0},
    {parameter::mF, 60.0},
    {parameter::aNf, 1.0},
    {parameter::Clfwmax, 500.0},
    {parameter::epsilsonPs, 1.0},
    {parameter::deltaCa, -8.0},
    {parameter::aDelta, 4.4},
    {parameter::bDelta, 27.0},
    {parameter::atau, 0.5},
    {parameter::TUmax, 45.0},
    {parameter::TUopt, 30.0},
    {parameter::gammaU, 0.1},
    {parameter::UNH4max, 0.2},
    {parameter::kNH4, 100.0},
    {parameter::thetaU, 0.002},
    {parameter::Nlwrmax, 10.0},
    {parameter::epsilsonUn, 2.0},
    {parameter::UNO3max, 0.2},
    {parameter::kNO3, 100.0},
    {parameter::gUn, 0.1},
    {parameter::qUnfix, 12.0},
    {parameter::gNfix, 0.0005},
    {parameter::kNfix, 5.0},
    {parameter::TRmax, 45.0},
    {parameter::TRopt, 30.0},
    {parameter::gammaR, 0.1},
    {parameter::rm, 0.02},
    {parameter::qFmin, 20.0},
    {parameter::awr, 0.3},
    {parameter::qWmin, 150.0},
    {parameter::qRmin, 30.0},
    {parameter::rg, 0.25},
    {parameter::sL, 0.05},
    {parameter::aLC, 5.0},
    {parameter::bLC, 1.0},
    {parameter::aLN, 5.0},
    {parameter::bLN, 1.0},
    {parameter::Jddstart, 60.0},
    {parameter::DDfstart, 100.0},
    {parameter::DDfstop, 600.0},
    {parameter::JlambdaStart, 250.0},
    {parameter::TacrF, 5.0},
    {parameter::DsensF, 30.0},
    {parameter::DDwstart, 200.0},
    {parameter::DDwstop, 1500.0},
    {parameter::TacrW, 5.0},
    {parameter::DsensW, 60.0},
    {parameter::DDrstart, 100.0},
    {parameter::DDrstop, 2000.0},
    {parameter::TacrR, 5.0},
    {parameter::DsensR, 60.0},
    {parameter::gf, 0.05},
    {parameter::bGf, 20.0},
    {parameter::epsilonF, 0.5},
    {parameter::gw, 0.002},
    {parameter::bGw, 300.0},
    {parameter::epsilonW, 0.5},
    {parameter::aGHW, 0.001},
    {parameter::gr, 0.01},
    {parameter::bGr, 30.0},
    {parameter::epsilonR, 0.5},
    {parameter::alambdaCFD, 0.05},
    {parameter::alambdaCRD, 0.02},
    {parameter::Awd, 0.3},
    {parameter::atauD, 0.5},
    {parameter::alambdaF, 0.03},
    {parameter::sigmaLambdaF, 2.0},
    {parameter::Cfe, 50.0},
    {parameter::alambdaW, 0.0002},
    {parameter::sigmaLambdaW, 2.0},
    {parameter::Cwe, 1000.0},
    {parameter::alambdaR, 0.005},
    {parameter::sigmaLambdaR, 2.0},
    {parameter::Cre, 50.0},
    {parameter::Q10D, 2.0},
    {parameter::sigmaD, 0.5},
    {parameter::Awdopt, 0.6},
    {parameter::Jdb, 0.6},
    {parameter::aSE, 0.01},
    {parameter::aEI, 0.005},
    {parameter::aIE, 0.0005},
    {parameter::aIH, 0.0002},
    {parameter::beta, 0.5},
    {parameter::aH, 0.00005},
    {parameter::aA, 0.0005},
    {parameter::qI, 25.0},
    {parameter::VINH4max, 0.01},
    {parameter::kINH4, 50.0},
    {parameter::VINO3max, 0.01},
    {parameter::kINO3, 50.0},
    {parameter::aNtri, 0.0001},
};
static_assert(std::size(kForest) == parameter::kCount);

Model forest_model() {
  Model model = make_model();
  for (const ParameterValue& p : kForest) model.parameters[p.position].value = p.value;
  return model;
}

// One random but valid stand: states and drivers by table position.
struct Stand {
  std::array<double, kStateCapacity + 1> state{};
  std::array<double, kDriverCapacity + 1> driver{};
};

class StandGenerator {
 public:
  explicit StandGenerator(std::uint64_t seed) : random_(seed) {}

  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }
  bool chance(double p) { return uniform(0.0, 1.0) < p; }

  Stand next() {
    Stand s;
    auto& x = s.state;
    x[state::Cf] = uniform(20.0, 600.0);
    x[state::Csw] = uniform(300.0, 6000.0);
    x[state::Chw] = chance(0.1) ? 0.0 : uniform(500.0, 20000.0);
    x[state::Cr] = uniform(100.0, 2000.0);
    x[state::Nf] = x[state::Cf] / uniform(15.0, 60.0);
    x[state::Nsw] = x[state::Csw] / uniform(100.0, 400.0);
    x[state::Nhw] = x[state::Chw] / uniform(300.0, 800.0);
    x[state::Nr] = x[state::Cr] / uniform(20.0, 80.0);
    x[state::Clfw] = chance(0.1) ? 0.0 : uniform(0.0, 600.0);
    x[state::Clr] = chance(0.1) ? 0.0 : uniform(0.0, 200.0);
    x[state::Nlf] = chance(0.1) ? 0.0 : uniform(0.0, 5.0);
    x[state::Nlwr] = chance(0.1) ? 0.0 : uniform(0.0, 15.0);
    x[state::Cs] = uniform(10.0, 1000.0);
    x[state::Ce] = uniform(10.0, 1000.0);
    x[state::Ci] = uniform(100.0, 6000.0);
    x[state::Ch] = uniform(1000.0, 20000.0);
    x[state::Na] = uniform(1.0, 300.0);
    x[state::Nh] = uniform(50.0, 1000.0);
    x[state::Nnh4] = uniform(0.01, 5.0);
    x[state::Nno3] = uniform(0.01, 5.0);
    x[state::Wr] = uniform(20.0, 300.0);
    x[state::Wg] = uniform(0.0, 500.0);
    x[state::Ws] = chance(0.5) ? 0.0 : uniform(0.0, 100.0);
    x[state::Laieos] = uniform(0.0, 8.0);
    x[state::Jday] = uniform(0.0, 365.0);
    x[state::DDa] = uniform(0.0, 3000.0);
    x[state::DDs] = uniform(0.0, 3000.0);
    x[state::qUnT] = uniform(0.0, 40.0);
    for (int i = state::PptT; i <= state::QNT; ++i) x[i] = uniform(0.0, 1000.0);
    for (const int day : {state::Jdfs, state::Jdws, state::Jdrs}) {
      x[day] = chance(0.5) ? 999.0 : uniform(250.0, 365.0);
    }

    auto& d = s.driver;
    d[driver::Ca] = uniform(280.0, 700.0);
    d[driver::Tamax] = uniform(-15.0, 38.0);
    d[driver::Tamin] = d[driver::Tamax] - uniform(0.0, 15.0);
    d[driver::Ts] = uniform(-5.0, 30.0);
    d[driver::Ppt] = chance(0.5) ? 0.0 : uniform(0.0, 50.0);
    d[driver::II] = uniform(1.0, 30.0);
    d[driver::DNH4] = uniform(0.0, 0.01);
    d[driver::DNO3] = uniform(0.0, 0.01);
    for (int i = driver::DlambdaCF; i <= driver::DlambdaCR; ++i) {
      d[i] = chance(0.7) ? -1.0 : (chance(0.2) ? 0.0 : uniform(0.0, 5.0));
    }
    for (int i = driver::DlambdaNF; i <= driver::DlambdaNR; ++i) {
      d[i] = chance(0.7) ? -1.0 : (chance(0.2) ? 0.0 : uniform(0.0, 0.05));
    }
    d[driver::DNnh4] = chance(0.8) ? -1.0 : uniform(0.0, 3.0);
    d[driver::DNno3] = chance(0.8) ? -1.0 : uniform(0.0, 3.0);
    return s;
  }

 private:
  std::mt19937_64 random_;
};

// ------------------------------------------------------------ the identities

// Derivatives at their state positions, processes at theirs.
void expect_budgets_close(const ProcessValues& p, const std::string& context) {
  double scale = 1.0;
  for (int i = 1; i <= state::kCount; ++i) scale += std::fabs(p[i]);
  const double tolerance = 1e-12 * scale;
  const auto d = [&p](int state_position) { return p[state_position]; };
  const auto v = [&p](int process_position) { return p[process_position]; };

  const double plant_carbon =
      d(state::Cf) + d(state::Csw) + d(state::Chw) + d(state::Cr) + d(state::Clfw) + d(state::Clr);
  const double soil_carbon = d(state::Cs) + d(state::Ce) + d(state::Ci) + d(state::Ch);
  const double plant_nitrogen =
      d(state::Nf) + d(state::Nsw) + d(state::Nhw) + d(state::Nr) + d(state::Nlf) + d(state::Nlwr);
  const double soil_organic_nitrogen = d(state::Na) + d(state::Nh);
  const double mineral_nitrogen = d(state::Nnh4) + d(state::Nno3);
  const double water = d(state::Wr) + d(state::Wg) + d(state::Ws) + d(state::QwT);

  EXPECT_NEAR(plant_carbon, v(process::NPP) - v(process::lambdaC), tolerance)
      << "plant carbon, " << context;
  EXPECT_NEAR(plant_carbon, v(process::Ps) - v(process::Rp) - v(process::lambdaC), tolerance)
      << "plant carbon against GPP, " << context;
  EXPECT_NEAR(soil_carbon, v(process::lambdaC) - v(process::Rs), tolerance)
      << "soil carbon, " << context;
  EXPECT_NEAR(plant_carbon + soil_carbon, v(process::NEP), tolerance)
      << "ecosystem carbon, " << context;
  EXPECT_NEAR(plant_nitrogen, v(process::Un) + v(process::Unfix) - v(process::lambdaN), tolerance)
      << "plant nitrogen, " << context;
  EXPECT_NEAR(soil_organic_nitrogen, v(process::lambdaN) - v(process::Nmin), tolerance)
      << "soil organic nitrogen, " << context;
  EXPECT_NEAR(mineral_nitrogen, v(process::Dn) + v(process::Nmin) - v(process::Un) - v(process::Qn),
              tolerance)
      << "mineral nitrogen, " << context;
  EXPECT_NEAR(plant_nitrogen + soil_organic_nitrogen + mineral_nitrogen,
              v(process::Unfix) + v(process::Dn) - v(process::Qn), tolerance)
      << "all nitrogen, " << context;
  EXPECT_NEAR(water, 0.0, tolerance) << "water, " << context;
  EXPECT_NEAR(d(state::Wr) + d(state::Wg), -(v(process::ET) + v(process::Qg)), tolerance)
      << "water stores, " << context;

  // Running totals.
  EXPECT_NEAR(d(state::NPPT), d(state::PST) - d(state::RPT), tolerance) << context;
  EXPECT_NEAR(d(state::NepT), d(state::NPPT) - d(state::RST), tolerance) << context;
  EXPECT_NEAR(plant_carbon, d(state::PST) - d(state::RPT) - d(state::lambdaCT), tolerance)
      << context;
  EXPECT_NEAR(d(state::lambdaCT), d(state::lambdaCfT) + d(state::lambdaCwT) + d(state::lambdaCrT),
              tolerance)
      << context;
  EXPECT_NEAR(d(state::lambdaNT), d(state::lambdaNfT) + d(state::lambdaNwT) + d(state::lambdaNrT),
              tolerance)
      << context;
  EXPECT_NEAR(d(state::QwT), d(state::EtT) + d(state::QgT), tolerance) << context;
  EXPECT_NEAR(plant_nitrogen + soil_organic_nitrogen + mineral_nitrogen,
              d(state::UnfixT) + v(process::Dn) - d(state::QNT), tolerance)
      << context;

  // Litter reaches the soil whole.
  EXPECT_NEAR(v(process::FClambdaE) + v(process::FClambdaS) + v(process::FClambdaI),
              v(process::lambdaC), tolerance)
      << context;
  EXPECT_NEAR(v(process::FNlambdaA), v(process::lambdaN), tolerance) << context;
}

// ------------------------------------------------------------ group level

// Random values of everything the litter groups onward read from earlier
// groups.
void randomise_earlier_groups(Evaluation& e, StandGenerator& g) {
  e.Ta = (e.Tamax + e.Tamin) / 2.0;
  e.TsMean = e.Ts;
  e.Aw = g.uniform(0.0, 1.3);
  e.Cswmax = g.uniform(0.0, 10000.0);
  e.Ps = g.uniform(0.0, 20.0);
  e.ET = g.uniform(0.0, 6.0);
  e.DR = g.uniform(0.0, 10.0);
  e.Qg = g.uniform(0.0, 5.0);
  e.Nnh4aq = g.uniform(0.0, 300.0);
  e.Nno3aq = g.uniform(0.0, 300.0);
  e.QNH4 = g.uniform(0.0, 0.05);
  e.QNO3 = g.uniform(0.0, 0.05);
  e.UNH4 = g.uniform(0.0, 0.2);
  e.UNO3 = g.uniform(0.0, 0.2);
  e.Un = e.UNH4 + e.UNO3;
  e.qUn = g.uniform(0.0, 50.0);
  e.Unfix = g.uniform(0.0, 0.05);
  e.RUnfix = e.qUnfix * e.Unfix;
}

void store_all(const Evaluation& e, ProcessValues& p) {
#define VINDREL_STATE(id, symbol, name, units) p[state::id] = e.d##id##dt;
#include "core/model_definition.def"
#undef VINDREL_STATE
#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) p[process::id] = e.id;
#include "core/model_definition.def"
#undef VINDREL_PROCESS
}

TEST(BudgetOfLaterGroups, CarbonNitrogenAndWaterCloseOnRandomStands) {
  const Model model = forest_model();
  StandGenerator generator(0x5eed'1a7e'0001);
  for (int n = 0; n < kCases; ++n) {
    const Stand stand = generator.next();
    Evaluation e;
#define VINDREL_PARAMETER(id, symbol, name, units) e.id = model.parameters[parameter::id].value;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
#define VINDREL_STATE(id, symbol, name, units) e.id = stand.state[state::id];
#include "core/model_definition.def"
#undef VINDREL_STATE
#define VINDREL_DRIVER(id, symbol, name, units) e.id = stand.driver[driver::id];
#include "core/model_definition.def"
#undef VINDREL_DRIVER
    randomise_earlier_groups(e, generator);

    std::feclearexcept(FE_ALL_EXCEPT);
    e.drought_litter();
    e.litterfall();
    e.growth();
    e.respiration_and_transport();
    e.soil_organic_matter();
    e.ecosystem_totals();
    e.state_derivatives();
    const bool faulted = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) != 0;
    EXPECT_FALSE(faulted) << "a valid stand raised an arithmetic fault, case " << n;

    ProcessValues p{};
    store_all(e, p);
    expect_budgets_close(p, "case " + std::to_string(n));
    if (::testing::Test::HasFailure()) return;  // one failing case tells enough
  }
}

// ------------------------------------------------------------ whole evaluation

void load(const Stand& stand, Model& model, StateValues& states) {
  for (int i = 1; i <= driver::kCount; ++i) model.drivers[i].value = stand.driver[i];
  states = StateValues{};
  for (int i = 1; i <= state::kCount; ++i) states.value[i] = stand.state[i];
}

TEST(BudgetOfWholeEvaluation, CarbonNitrogenAndWaterCloseOnRandomStands) {
  Model model = forest_model();
  const EvaluationClock clock{1.0, 0.0};
  StandGenerator generator(0x5eed'1a7e'0002);
  for (int n = 0; n < kCases; ++n) {
    StateValues states;
    load(generator.next(), model, states);
    model.NewYear = false;
    ProcessValues p{};
    const double time = 10.25 + n;  // never the start time: no annual reset
    ASSERT_NO_THROW(EvaluateEquations(model, clock, states, time, p, false)) << "case " << n;
    expect_budgets_close(p, "case " + std::to_string(n));
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(BudgetOfWholeEvaluation, EndOfStepMovesOnlyThePrecipitationIntoTheWaterStores) {
  Model model = forest_model();
  StandGenerator generator(0x5eed'1a7e'0003);
  for (int n = 0; n < kCases; ++n) {
    const EvaluationClock clock{n % 2 == 0 ? 1.0 : 0.5, 0.0};
    StateValues states;
    const Stand stand = generator.next();
    load(stand, model, states);
    model.NewYear = false;
    const StateValues before = states;
    ProcessValues p{};
    const double time = 3.0 + n;  // 366 is not reached: no annual reset follows
    ASSERT_NO_THROW(EvaluateEquations(model, clock, states, time, p, true)) << "case " << n;
    expect_budgets_close(p, "end of step, case " + std::to_string(n));

    const auto stored = [](const StateValues& s) {
      return s.value[state::Wr] + s.value[state::Wg] + s.value[state::Ws] + s.value[state::QwT];
    };
    const double Ppt = stand.driver[driver::Ppt];
    const double precipitation = states.value[state::PptT] - before.value[state::PptT];
    const double tolerance = 1e-12 * (1.0 + stored(before) + Ppt);
    // All of the precipitation falls as either rain or snow.
    EXPECT_NEAR(p[process::Pptr] + p[process::Ppts], Ppt, tolerance) << "case " << n;
    EXPECT_NEAR(precipitation, Ppt * clock.time_step, tolerance) << "case " << n;
    // Rain less interception plus melt reaches the root zone, snow less melt
    // the snowpack, interception the loss total; groundwater is untouched.
    EXPECT_EQ(states.value[state::Wg], before.value[state::Wg]) << "case " << n;
    EXPECT_NEAR(stored(states) - stored(before), precipitation, tolerance) << "case " << n;
    // With the continuous part of one explicit step, the stores and the loss
    // total still gain exactly the precipitation.
    double continuous = 0.0;
    for (const int s : {state::Wr, state::Wg, state::Ws, state::QwT}) continuous += p[s];
    EXPECT_NEAR(stored(states) + continuous * clock.time_step - stored(before), precipitation,
                tolerance)
        << "case " << n;
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace vindrel
