// Litter quality split, decomposition rate modifier, soil carbon and nitrogen
// fluxes, immobilisation and nitrification; ecosystem totals and sums.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

constexpr double kTight = 1e-12;

// A soil with a rate modifier of exactly 0.8 (Q10 of 2 at 20 oC gives 4; the
// water factor is 1 - 0.4^2 / (0.5^2 * (1 + 0.5 * -0.4)) = 0.2) and more active
// nitrogen than the acid insoluble carbon would hold at the optimum C:N
// (3000 / 25 = 120 < 200).
Evaluation decomposing_soil() {
  Evaluation e;
  e.Aw = 0.2;
  e.Awdopt = 0.6;
  e.Jdb = 0.5;
  e.sigmaD = 0.5;
  e.Q10D = 2.0;
  e.Ts = 20.0;
  e.Cs = 500.0;
  e.Ce = 400.0;
  e.Ci = 3000.0;
  e.Ch = 10000.0;
  e.Na = 200.0;
  e.Nh = 500.0;
  e.qI = 25.0;
  e.aSE = 0.01;
  e.aEI = 0.005;
  e.aIE = 0.001;
  e.aIH = 0.0005;
  e.beta = 0.5;
  e.aH = 0.0001;
  e.aA = 0.001;
  e.VINH4max = 0.01;
  e.kINH4 = 50.0;
  e.VINO3max = 0.02;
  e.kINO3 = 100.0;
  e.aNtri = 0.0002;
  e.Nnh4aq = 150.0;
  e.Nno3aq = 50.0;
  return e;
}

// ---------------------------------------------------------------- quality

TEST(LitterQuality, NoLitterGivesNoInputs) {
  Evaluation e = decomposing_soil();
  e.lambdaNF = 0.3;  // nitrogen without carbon is not split
  std::feclearexcept(FE_ALL_EXCEPT);
  e.soil_organic_matter();
  EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID));
  EXPECT_EQ(e.FClambdaE, 0.0);
  EXPECT_EQ(e.FClambdaS, 0.0);
  EXPECT_EQ(e.FClambdaI, 0.0);
  EXPECT_EQ(e.FNlambdaA, 0.3);
}

TEST(LitterQuality, LitterWithoutNitrogenSplitsInFixedShares) {
  Evaluation e = decomposing_soil();
  e.lambdaCSW = 10.0;
  e.soil_organic_matter();
  EXPECT_NEAR(e.FClambdaE, 0.038 * 10.0, kTight);
  EXPECT_NEAR(e.FClambdaS, 0.79 * 10.0, kTight);
  EXPECT_NEAR(e.FClambdaI, 0.172 * 10.0, kTight);
}

TEST(LitterQuality, WorkedExampleOfTwoTissues) {
  Evaluation e = decomposing_soil();
  e.lambdaCF = 100.0;
  e.lambdaNF = 1.0;
  e.lambdaCR = 50.0;
  e.lambdaNR = 0.5;
  e.soil_organic_matter();
  // Foliage (N:C 0.01): (0.49 - 0.452 exp(-0.95)) 100 and (0.4 + 0.39 exp(-1.55)) 100;
  // roots (the same N:C) half of that.
  EXPECT_NEAR(e.FClambdaE, 1.5 * 31.51930573985654, 1e-11);
  EXPECT_NEAR(e.FClambdaS, 1.5 * 48.277670979242984, 1e-11);
  EXPECT_NEAR(e.FClambdaI, 150.0 - e.FClambdaE - e.FClambdaS, 1e-11);
  EXPECT_NEAR(e.FNlambdaA, 1.5, kTight);
}

TEST(LitterQuality, EveryTissueCountsAndTheInputsAddUpToTheLitter) {
  Evaluation e = decomposing_soil();
  e.lambdaCF = 3.0;
  e.lambdaCSW = 2.0;
  e.lambdaCHW = 5.0;
  e.lambdaCR = 7.0;
  e.lambdaNF = 0.06;
  e.lambdaNSW = 0.004;
  e.lambdaNHW = 0.005;
  e.lambdaNR = 0.1;
  e.soil_organic_matter();
  EXPECT_NEAR(e.FClambdaE + e.FClambdaS + e.FClambdaI, 17.0, kTight);
  EXPECT_NEAR(e.FNlambdaA, 0.169, kTight);
  EXPECT_GT(e.FClambdaI, 0.0);
}

// ---------------------------------------------------------------- rate modifier

TEST(SoilRateModifier, WorkedExample) {
  Evaluation e = decomposing_soil();
  e.soil_organic_matter();
  EXPECT_NEAR(e.rSm, 0.8, kTight);
}

TEST(SoilRateModifier, OptimumWaterLeavesOnlyTheTemperatureTerm) {
  Evaluation e = decomposing_soil();
  e.Aw = e.Awdopt;
  e.soil_organic_matter();
  EXPECT_NEAR(e.rSm, 4.0, kTight);  // 2^(20 / 10)
  e.Ts = 0.0;
  e.soil_organic_matter();
  EXPECT_EQ(e.rSm, 1.0);
  e.Ts = -10.0;
  e.soil_organic_matter();
  EXPECT_NEAR(e.rSm, 0.5, kTight);
}

TEST(SoilRateModifier, FarFromOptimumStopsEverySoilFlux) {
  Evaluation e = decomposing_soil();
  e.Aw = 1.6;  // x = 1: 1 - 1 / (0.25 * 1.5) < 0
  e.Na = 80.0;
  e.soil_organic_matter();
  EXPECT_EQ(e.rSm, 0.0);
  for (const double flux : {e.FCSE, e.FCEI, e.FCIE, e.FCIH, e.RE, e.RH, e.MNA, e.MNH, e.FNAH,
                            e.INH4, e.INO3, e.Fntri}) {
    EXPECT_EQ(flux, 0.0);
  }
}

// ---------------------------------------------------------------- fluxes

TEST(SoilFluxes, WorkedExampleWithAmpleActiveNitrogen) {
  Evaluation e = decomposing_soil();
  e.soil_organic_matter();
  EXPECT_NEAR(e.FCSE, 0.8 * 0.01 * 500.0, kTight);     // 4
  EXPECT_NEAR(e.FCEI, 0.8 * 0.005 * 400.0, kTight);    // 1.6
  EXPECT_NEAR(e.FCIE, 0.8 * 0.001 * 3000.0, kTight);   // 2.4, carbon limited
  EXPECT_NEAR(e.FCIH, 0.8 * 0.0005 * 3000.0, kTight);  // 1.2
  EXPECT_NEAR(e.RE, (4.0 + 1.6 + 2.4) * 0.5, kTight);
  EXPECT_NEAR(e.RH, 0.8 * 0.0001 * 10000.0, kTight);
  EXPECT_NEAR(e.MNA, 0.8 * 0.001 * 200.0, kTight);
  EXPECT_NEAR(e.MNH, 0.8 * 0.0001 * 500.0, kTight);  // at the humus rate
  EXPECT_NEAR(e.FNAH, 1.2 / 25.0, kTight);
  EXPECT_EQ(e.INH4, 0.0);
  EXPECT_EQ(e.INO3, 0.0);
  EXPECT_NEAR(e.Fntri, 0.8 * 0.0002 * 150.0, kTight);
}

TEST(SoilFluxes, ScarceActiveNitrogenLimitsTransfersAndDrivesImmobilisation) {
  Evaluation e = decomposing_soil();
  e.Na = 80.0;  // 80 * 25 = 2000 < 3000
  e.soil_organic_matter();
  EXPECT_NEAR(e.FCIE, 0.8 * 0.001 * 80.0 * 25.0, kTight);
  EXPECT_NEAR(e.FCIH, 0.8 * 0.0005 * 80.0 * 25.0, kTight);
  // Shortfall 3000 / 25 - 80 = 40 g N m-2.
  EXPECT_NEAR(e.INH4, 0.8 * 0.01 * 150.0 * 40.0 / (50.0 + 150.0), kTight);
  EXPECT_NEAR(e.INO3, 0.8 * 0.02 * 50.0 * 40.0 / (100.0 + 50.0), kTight);
}

TEST(SoilFluxes, ActiveNitrogenExactlyAtOptimumRatioImmobilisesNothing) {
  Evaluation e = decomposing_soil();
  e.Na = 120.0;  // 3000 / 25
  e.soil_organic_matter();
  EXPECT_EQ(e.INH4, 0.0);
  EXPECT_EQ(e.INO3, 0.0);
}

TEST(SoilFluxes, NoDissolvedNitrogenNoImmobilisationNorNitrification) {
  Evaluation e = decomposing_soil();
  e.Na = 80.0;
  e.Nnh4aq = 0.0;
  e.Nno3aq = 0.0;
  e.soil_organic_matter();
  EXPECT_EQ(e.INH4, 0.0);
  EXPECT_EQ(e.INO3, 0.0);
  EXPECT_EQ(e.Fntri, 0.0);
}

// ---------------------------------------------------------------- totals

Evaluation stand_for_totals() {
  Evaluation e;
  e.Cf = 200.0;
  e.Csw = 3000.0;
  e.Chw = 7000.0;
  e.Cr = 500.0;
  e.Clfw = 100.0;
  e.Clr = 50.0;
  e.Nf = 8.0;
  e.Nsw = 6.0;
  e.Nhw = 7.0;
  e.Nr = 10.0;
  e.Nlf = 1.0;
  e.Nlwr = 3.0;
  e.Cs = 400.0;
  e.Ce = 300.0;
  e.Ci = 2000.0;
  e.Ch = 8000.0;
  e.Na = 100.0;
  e.Nh = 400.0;
  e.Nnh4 = 2.0;
  e.Nno3 = 0.5;
  e.RFmet = 1.0;
  e.RFgr = 0.5;
  e.RWmet = 0.25;
  e.RWgr = 0.125;
  e.RRmet = 2.0;
  e.RRgr = 0.75;
  e.RUnfix = 0.0625;
  e.RE = 3.0;
  e.RH = 0.5;
  e.Ps = 10.0;
  e.Gcf = 1.0;
  e.Gcsw = 2.0;
  e.Gcr = 3.0;
  e.lambdaCF = 0.5;
  e.lambdaCSW = 0.25;
  e.lambdaCHW = 0.125;
  e.lambdaCR = 1.0;
  e.lambdaNF = 0.01;
  e.lambdaNSW = 0.002;
  e.lambdaNHW = 0.001;
  e.lambdaNR = 0.02;
  e.DNH4 = 0.003;
  e.DNO3 = 0.004;
  e.MNA = 0.2;
  e.MNH = 0.05;
  e.INH4 = 0.03;
  e.INO3 = 0.01;
  e.QNH4 = 0.001;
  e.QNO3 = 0.002;
  return e;
}

TEST(EcosystemTotals, PoolsAndRatios) {
  Evaluation e = stand_for_totals();
  e.ecosystem_totals();
  EXPECT_EQ(e.Cw, 10000.0);
  EXPECT_EQ(e.Nw, 13.0);
  EXPECT_EQ(e.CPT, 10850.0);
  EXPECT_EQ(e.NPT, 35.0);
  EXPECT_EQ(e.CST, 10700.0);
  EXPECT_EQ(e.NST, 500.0);
  EXPECT_NEAR(e.qPT, 10850.0 / 35.0, kTight);
  EXPECT_NEAR(e.qST, 21.4, kTight);
  EXPECT_EQ(e.NIT, 2.5);
  EXPECT_EQ(e.CET, 21550.0);
  EXPECT_EQ(e.qrs, 2.5);
}

TEST(EcosystemTotals, MineralNitrogenIsNotPartOfEcosystemNitrogen) {
  Evaluation e = stand_for_totals();
  e.ecosystem_totals();
  EXPECT_EQ(e.NET, 535.0);
  e.Nnh4 = 50.0;
  e.ecosystem_totals();
  EXPECT_EQ(e.NET, 535.0);
}

TEST(EcosystemTotals, RespirationAndProduction) {
  Evaluation e = stand_for_totals();
  e.ecosystem_totals();
  EXPECT_EQ(e.RF, 1.5);
  EXPECT_EQ(e.RW, 0.375);
  EXPECT_EQ(e.RR, 2.75);
  EXPECT_EQ(e.Rp, 4.6875);  // the cost of nitrogen fixation included
  EXPECT_EQ(e.Rs, 3.5);
  EXPECT_EQ(e.NPPf, 1.0);
  EXPECT_EQ(e.NPPw, 2.0);
  EXPECT_EQ(e.NPPr, 3.0);
  EXPECT_EQ(e.NPP, 5.3125);
  EXPECT_EQ(e.NEP, 1.8125);
}

TEST(EcosystemTotals, LitterAndNitrogenBudgetTerms) {
  Evaluation e = stand_for_totals();
  e.ecosystem_totals();
  EXPECT_EQ(e.lambdaC, 1.875);
  EXPECT_NEAR(e.lambdaN, 0.033, kTight);
  EXPECT_NEAR(e.Dn, 0.007, kTight);
  EXPECT_NEAR(e.Mg, 0.25, kTight);
  EXPECT_NEAR(e.Id, 0.04, kTight);
  EXPECT_NEAR(e.Nmin, 0.21, kTight);
  EXPECT_NEAR(e.Qn, 0.003, kTight);
}

}  // namespace
}  // namespace vindrel::equations
