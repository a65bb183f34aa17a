// The canopy (leaf area, sapwood maximum, conductances), photosynthesis with
// its isotope signature, and the uptake and fixation of nitrogen.
#include <gtest/gtest.h>

#include <cmath>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

// The published worked example of photosynthesis.
Evaluation photosynthesis_example() {
  Evaluation e;
  e.Tamax = 25.0;
  e.Tamin = 15.0;
  e.PsiD = 1.0;
  e.omegaS = 1.0;
  e.aNf = 1.0;
  e.Nf = 5.0;
  e.Clfw = 50.0;
  e.Clfwmax = 100.0;
  e.epsilsonPs = 1.0;
  e.LAI = 4.0;
  e.Ca = 350.0;
  e.II = 20.0;
  e.Hd = 12.0;
  e.deltaCa = -8.0;
  e.aDelta = 4.4;
  e.bDelta = 27.0;
  return e;
}

// Relative tolerance of half a unit in the sixth significant digit.
void expect_six_digits(double actual, double expected) {
  EXPECT_NEAR(actual, expected, 5e-6 * std::abs(expected)) << "expected " << expected;
}

TEST(Photosynthesis, WorkedExample) {
  Evaluation e = photosynthesis_example();
  e.photosynthesis();
  expect_six_digits(e.gsC, 0.178571);
  expect_six_digits(e.Pmax, 40.6703);
  expect_six_digits(e.A, 227.754);
  expect_six_digits(e.E, 3.03789);
  expect_six_digits(e.Cint, 297.582);
  expect_six_digits(e.Pc, 9.36034);
  expect_six_digits(e.Pd, 8.11079);
  expect_six_digits(e.Ps, 4.67182);
  EXPECT_NEAR(e.Ps, 4.67181655, 1e-8);
  EXPECT_NEAR(e.deltaPs, -31.61530154, 1e-8);
}

TEST(Photosynthesis, InternalCO2BalancesDiffusionAndCarboxylation) {
  Evaluation e = photosynthesis_example();
  e.photosynthesis();
  const double supply = e.gsC * (e.Ca - e.Cint);
  const double demand = e.Pmax * e.Cint / (995.4 + e.Cint);
  EXPECT_NEAR(supply, demand, 1e-10);
}

TEST(Photosynthesis, FreezingDayHasNoPhotosynthesisButAnIsotopeSignature) {
  Evaluation e = photosynthesis_example();
  e.Tamax = 0.0;
  e.Tamin = -8.0;
  e.photosynthesis();
  EXPECT_EQ(e.Ps, 0.0);
  EXPECT_GT(e.Pd, 0.0);
  EXPECT_GT(e.Cint, 0.0);
  EXPECT_LT(e.Cint, e.Ca);
  EXPECT_DOUBLE_EQ(e.deltaPs, (-8.0 - 4.4) - (27.0 - 4.4) * e.Cint / e.Ca);
}

TEST(Photosynthesis, PolarNightKeepsTheBaseShareOfTheDailyRate) {
  Evaluation e = photosynthesis_example();
  e.Hd = 0.0;
  e.photosynthesis();
  EXPECT_DOUBLE_EQ(e.Ps, 0.216 * e.Pd);
  EXPECT_NEAR(e.Pd, 8.11079263, 1e-8);
}

TEST(CanopyStructure, LeafAreaIsFoliageCarbonOverItsDensity) {
  Evaluation e;
  e.Cf = 150.0;
  e.mF = 30.0;
  e.Laieos = 5.0;
  e.Csw = 3000.0;
  e.Chw = 8000.0;
  e.h1 = 6.0;
  e.h2 = 0.5;
  e.canopy_structure();
  EXPECT_DOUBLE_EQ(e.LAI, 5.0);
  EXPECT_NEAR(e.Cswmax, 3146.42654451, 1e-7);
}

TEST(CanopyStructure, NoEndOfSeasonLeafAreaNoSapwoodMaximum) {
  Evaluation e;
  e.Cf = 150.0;
  e.mF = 30.0;
  e.Laieos = 0.0;
  e.Csw = 3000.0;
  e.Chw = 8000.0;
  e.h1 = 6.0;
  e.h2 = 0.5;
  e.canopy_structure();
  EXPECT_EQ(e.Cswmax, 0.0);
}

TEST(CanopyWaterConductance, GrowsWithLeafAreaAndTensionDeficitAndFallsWithDryAir) {
  Evaluation e;
  e.LAI = 5.0;
  e.PsiD = 1.4143143156517688;
  e.D = 17.21200597559584;
  e.canopy_water_conductance();
  EXPECT_NEAR(e.gsw, 1.68190789, 1e-8);
  e.D = 0.0;
  e.canopy_water_conductance();
  EXPECT_DOUBLE_EQ(e.gsw, 0.3 * 5.1 * 1.4143143156517688);
}

// A summer day's uptake: soil at 22 oC, three quarters of the water available.
Evaluation uptake_day() {
  Evaluation e;
  e.Ts = 22.0;
  e.TUmax = 45.0;
  e.TUopt = 30.0;
  e.gammaU = 0.1;
  e.thetaU = 0.01;
  e.Cr = 250.0;
  e.Aw = 0.75;
  e.UNH4max = 0.15;
  e.Nnh4aq = 200.0;
  e.kNH4 = 100.0;
  e.Nlwr = 5.0;
  e.Nlwrmax = 10.0;
  e.epsilsonUn = 2.0;
  e.UNO3max = 0.1;
  e.Nno3aq = 100.0;
  e.kNO3 = 100.0;
  e.LAI = 5.0;
  e.gUn = 0.15;
  e.II = 20.5;
  e.Ca = 370.0;
  e.sL = 0.01;
  e.Clr = 50.0;
  e.gNfix = 1e-4;
  e.qUnT = 15.0;
  e.qUnfix = 12.0;
  e.kNfix = 2.0;
  return e;
}

TEST(NitrogenUptake, SummerDayWorkedExample) {
  Evaluation e = uptake_day();
  e.nitrogen_uptake();
  EXPECT_NEAR(e.HU, 0.85313799, 1e-8);
  EXPECT_NEAR(e.UNH4, 0.04698649, 1e-8);
  EXPECT_NEAR(e.UNO3, 0.02349324, 1e-8);
  EXPECT_DOUBLE_EQ(e.Un, e.UNH4 + e.UNO3);
  EXPECT_NEAR(e.qUn, 5.55514867, 1e-8);
  EXPECT_NEAR(e.Unfix, 0.00503525, 1e-8);
  EXPECT_DOUBLE_EQ(e.RUnfix, 12.0 * e.Unfix);
}

TEST(NitrogenUptake, TemperatureResponseIsOneAtTheOptimumAndZeroFromTheMaximum) {
  Evaluation e = uptake_day();
  e.Ts = 30.0;
  e.nitrogen_uptake();
  EXPECT_EQ(e.HU, 1.0);

  for (const double soil : {45.0, 50.0}) {
    e.Ts = soil;
    e.nitrogen_uptake();
    EXPECT_EQ(e.HU, 0.0) << soil;
    EXPECT_EQ(e.UNH4, 0.0) << soil;
    EXPECT_EQ(e.UNO3, 0.0) << soil;
    EXPECT_EQ(e.Unfix, 0.0) << soil;
  }
}

TEST(NitrogenUptake, DrySoilStopsUptakeButNotFixation) {
  Evaluation e = uptake_day();
  e.Aw = 0.0;
  e.nitrogen_uptake();
  EXPECT_EQ(e.UNH4, 0.0);
  EXPECT_EQ(e.UNO3, 0.0);
  EXPECT_EQ(e.Un, 0.0);
  EXPECT_NEAR(e.Unfix, 0.00503525, 1e-8);
}

TEST(NitrogenUptake, FixationOnlyWhileUptakeCostsMoreThanFixing) {
  Evaluation e = uptake_day();
  e.qUnT = 11.0;
  e.nitrogen_uptake();
  EXPECT_EQ(e.Unfix, 0.0);
  EXPECT_EQ(e.RUnfix, 0.0);

  e.qUnT = 12.0;  // equal costs
  e.nitrogen_uptake();
  EXPECT_EQ(e.Unfix, 0.0);
  EXPECT_EQ(e.RUnfix, 0.0);
}

TEST(NitrogenUptake, FullLabilePoolHalvesUptake) {
  Evaluation e = uptake_day();
  e.Nlwr = 0.0;
  e.nitrogen_uptake();
  const double empty_pool = e.UNH4;
  e.Nlwr = 10.0;  // at Nlwrmax
  e.nitrogen_uptake();
  EXPECT_DOUBLE_EQ(e.UNH4, empty_pool / 2.0);
}

}  // namespace
}  // namespace vindrel::equations
