// The 55 state derivatives: each takes exactly its own terms of the processes
// of the same evaluation; the states advanced once per step have none.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

constexpr double kTight = 1e-12;

// Every process, driver and state set to its own random value, so that a term
// taken from the wrong process, or with the wrong sign, cannot go unnoticed.
Evaluation scrambled(std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> value(0.5, 2.0);
  Evaluation e;
#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) e.id = value(random);
#include "core/model_definition.def"
#undef VINDREL_PROCESS
#define VINDREL_DRIVER(id, symbol, name, units) e.id = value(random);
#include "core/model_definition.def"
#undef VINDREL_DRIVER
#define VINDREL_STATE(id, symbol, name, units) e.id = value(random);
#include "core/model_definition.def"
#undef VINDREL_STATE
  return e;
}

class StateDerivatives : public ::testing::TestWithParam<std::uint64_t> {
 protected:
  void SetUp() override {
    e = scrambled(GetParam());
    e.state_derivatives();
  }
  Evaluation e;
};

TEST_P(StateDerivatives, StructuralCarbon) {
  EXPECT_NEAR(e.dCfdt, e.Gcf - e.lambdaCF - e.RfmetS, kTight);
  EXPECT_NEAR(e.dCswdt, e.Gcsw - e.lambdaCSW - e.Gchw - e.RwmetS, kTight);
  EXPECT_NEAR(e.dChwdt, e.Gchw - e.lambdaCHW, kTight);
  EXPECT_NEAR(e.dCrdt, e.Gcr - e.lambdaCR - e.RrmetS, kTight);
}

TEST_P(StateDerivatives, StructuralNitrogen) {
  EXPECT_NEAR(e.dNfdt, e.Gnf - e.lambdaNF - e.tauN - e.tauRnf, kTight);
  EXPECT_NEAR(e.dNswdt, e.Gnsw - e.Gnhw - e.lambdaNSW - e.tauRnsw, kTight);
  EXPECT_NEAR(e.dNhwdt, e.Gnhw - e.lambdaNHW, kTight);
  EXPECT_NEAR(e.dNrdt, e.Gnr - e.lambdaNR - e.tauRnr, kTight);
}

TEST_P(StateDerivatives, LabilePoolsPayWithTheRightRespiration) {
  // The foliage-and-wood pool pays the labile wood respiration, the root pool
  // the labile root respiration (the two share one symbol in the model).
  EXPECT_NEAR(e.dClfwdt, e.Ps - e.Tc - e.RfmetL - e.RwmetL - e.RFgr - e.RWgr - e.Gcf - e.Gcsw,
              kTight);
  EXPECT_NEAR(e.dClrdt, e.Tc - e.RrmetL - e.RRgr - e.Gcr - e.RUnfix, kTight);
  EXPECT_NEAR(e.dNlfdt, e.Tn + e.tauRnf - e.Gnf, kTight);
  EXPECT_NEAR(e.dNlwrdt, e.Un + e.Unfix + e.tauN + e.tauRnsw + e.tauRnr - e.Tn - e.Gnsw - e.Gnr,
              kTight);
}

TEST_P(StateDerivatives, SoilOrganicPools) {
  EXPECT_NEAR(e.dCsdt, e.FClambdaS - e.FCSE, kTight);
  EXPECT_NEAR(e.dCedt, e.FClambdaE + e.FCSE + e.FCIE - e.RE - e.FCEI, kTight);
  EXPECT_NEAR(e.dCidt, e.FClambdaI + e.FCEI - e.FCIE - e.FCIH, kTight);
  EXPECT_NEAR(e.dChdt, e.FCIH - e.RH, kTight);
  EXPECT_NEAR(e.dNadt, e.FNlambdaA + e.INH4 + e.INO3 - e.FNAH - e.MNA, kTight);
  EXPECT_NEAR(e.dNhdt, e.FNAH - e.MNH, kTight);
}

TEST_P(StateDerivatives, SoilMineralNitrogenTakesDepositionFromTheDrivers) {
  EXPECT_NEAR(e.dNnh4dt, e.DNH4 + e.MNA + e.MNH - e.INH4 - e.UNH4 - e.Fntri - e.QNH4, kTight);
  EXPECT_NEAR(e.dNno3dt, e.DNO3 + e.Fntri - e.UNO3 - e.INO3 - e.QNO3, kTight);
}

TEST_P(StateDerivatives, WaterHasOnlyItsContinuousPart) {
  EXPECT_NEAR(e.dWrdt, -e.ET - e.DR, kTight);
  EXPECT_NEAR(e.dWgdt, e.DR - e.Qg, kTight);
  EXPECT_EQ(e.dWsdt, 0.0);
  EXPECT_NEAR(e.dQwTdt, e.ET + e.Qg, kTight);
}

TEST_P(StateDerivatives, StatesAdvancedOncePerStepDoNotMove) {
  // Rain, snow, interception, melt and deposition are all non-zero here.
  EXPECT_EQ(e.dWsdt, 0.0);
  EXPECT_EQ(e.dLaieosdt, 0.0);
  EXPECT_EQ(e.dJdaydt, 0.0);
  EXPECT_EQ(e.dDDadt, 0.0);
  EXPECT_EQ(e.dDDsdt, 0.0);
  EXPECT_EQ(e.dPptTdt, 0.0);
  EXPECT_EQ(e.dPptITdt, 0.0);
  EXPECT_EQ(e.dDnTdt, 0.0);
  EXPECT_EQ(e.dJdfsdt, 0.0);
  EXPECT_EQ(e.dJdwsdt, 0.0);
  EXPECT_EQ(e.dJdrsdt, 0.0);
}

TEST_P(StateDerivatives, RunningTotalsIntegrateTheirFluxes) {
  EXPECT_EQ(e.dEtTdt, e.ET);
  EXPECT_EQ(e.dQgTdt, e.Qg);
  EXPECT_EQ(e.dPSTdt, e.Ps);
  EXPECT_EQ(e.dNPPTdt, e.NPP);
  EXPECT_EQ(e.dtauNTdt, e.tauN);
  EXPECT_EQ(e.dRPTdt, e.Rp);
  EXPECT_EQ(e.dlambdaCfTdt, e.lambdaCF);
  EXPECT_NEAR(e.dlambdaCwTdt, e.lambdaCSW + e.lambdaCHW, kTight);
  EXPECT_EQ(e.dlambdaCrTdt, e.lambdaCR);
  EXPECT_EQ(e.dlambdaNfTdt, e.lambdaNF);
  EXPECT_NEAR(e.dlambdaNwTdt, e.lambdaNSW + e.lambdaNHW, kTight);
  EXPECT_EQ(e.dlambdaNrTdt, e.lambdaNR);
  EXPECT_EQ(e.dlambdaCTdt, e.lambdaC);
  EXPECT_EQ(e.dlambdaNTdt, e.lambdaN);
  EXPECT_EQ(e.dRSTdt, e.Rs);
  EXPECT_EQ(e.dNepTdt, e.NEP);
  EXPECT_EQ(e.dUNTdt, e.Un);
  EXPECT_EQ(e.dUnfixTdt, e.Unfix);
  EXPECT_EQ(e.dNminTdt, e.Nmin);
  EXPECT_EQ(e.dQNTdt, e.Qn);
}

TEST_P(StateDerivatives, UptakeCostRelaxesOverAYear) {
  EXPECT_NEAR(e.dqUnTdt, (e.qUn - e.qUnT) / 365.0, kTight);
}

INSTANTIATE_TEST_SUITE_P(ScrambledProcesses, StateDerivatives,
                         ::testing::Values(1u, 2u, 3u, 20240601u, 987654321u));

TEST(UptakeCostDerivative, WorkedExample) {
  Evaluation e;
  e.qUn = 30.0;
  e.qUnT = 12.0;
  e.state_derivatives();
  EXPECT_NEAR(e.dqUnTdt, 18.0 / 365.0, kTight);
}

TEST(UptakeCostDerivative, ZeroWhenTheMeanEqualsTheDailyCost) {
  Evaluation e;
  e.qUn = 17.25;
  e.qUnT = 17.25;
  e.state_derivatives();
  EXPECT_EQ(e.dqUnTdt, 0.0);
}

}  // namespace
}  // namespace vindrel::equations
