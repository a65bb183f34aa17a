// Climate and water: temperatures, available water and tension, the terms of
// evapotranspiration, day length, drainage and discharge, and the climate part
// of the once-per-step block (clocks, end-of-season leaf area, senescence
// start days, rain and snow, interception, snowmelt).
#include <gtest/gtest.h>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

// A July day on a temperate forest, with the water parameters of its soil.
Evaluation july_day() {
  Evaluation e;
  e.Tamax = 26.6;  // oC
  e.Tamin = 15.5;  // oC
  e.Ts = 22.0;     // oC
  e.II = 20.5;     // MJ m-2 day-1
  e.Ppt = 3.6;     // mm H2O day-1
  e.Cf = 150.0;    // g C m-2
  e.mF = 30.0;     // g C m-2 leaf, so LAI = 5
  e.Csw = 3000.0;
  e.Chw = 8000.0;
  e.Laieos = 5.0;
  e.h1 = 6.0;
  e.h2 = 0.5;
  e.Wr = 150.0;  // mm H2O
  e.Wg = 100.0;
  e.Ww = 60.0;
  e.Wf = 180.0;
  e.Psiw = -1.5;  // MPa
  e.Psif = -0.033;
  e.alphaT = 0.15;
  e.gAW = 6000.0;
  e.alphaD = 0.1;
  e.alphaQ = 0.03;
  e.Deltad = 42.5;
  e.Jday = 200.0;
  e.dt = 1.0;
  return e;
}

TEST(ClimateAndWaterBalance, MeanAirTemperatureIsTheMidRangeAndSoilTemperatureTheDriver) {
  Evaluation e = july_day();
  e.climate_and_water_balance();
  EXPECT_DOUBLE_EQ(e.Ta, 21.05);
  EXPECT_EQ(e.TsMean, 22.0);
}

TEST(ClimateAndWaterBalance, EvapotranspirationOfAJulyDay) {
  Evaluation e = july_day();
  e.climate_and_water_balance();
  EXPECT_DOUBLE_EQ(e.LAI, 5.0);
  EXPECT_DOUBLE_EQ(e.Aw, 0.75);
  EXPECT_NEAR(e.PsiD, 1.41431432, 1e-8);
  EXPECT_NEAR(e.G, 0.66288499, 1e-8);
  EXPECT_NEAR(e.Rho, 1.17745163, 1e-8);
  EXPECT_NEAR(e.S, 2.04887703, 1e-8);
  EXPECT_NEAR(e.D, 17.21200598, 1e-8);
  EXPECT_NEAR(e.L, 2.437958, 1e-12);
  EXPECT_NEAR(e.gsw, 1.68190789, 1e-8);
  EXPECT_NEAR(e.ET, 4.67495209, 1e-8);
}

TEST(ClimateAndWaterBalance, SapwoodMaximumIsComputedBeforeTheWater) {
  Evaluation e = july_day();
  e.climate_and_water_balance();
  EXPECT_NEAR(e.Cswmax, 3146.42654451, 1e-7);
}

TEST(ClimateAndWaterBalance, BelowWiltingPointNoWaterIsAvailableAndTensionHasItsFloor) {
  Evaluation e = july_day();
  e.Wr = 40.0;
  e.climate_and_water_balance();
  EXPECT_EQ(e.Aw, 0.0);
  EXPECT_EQ(e.PsiD, 0.001);
  EXPECT_GT(e.gsw, 0.0);
  EXPECT_GT(e.ET, 0.0);
}

TEST(ClimateAndWaterBalance, HalfAvailableWaterGivesTheTensionCurve) {
  Evaluation e = july_day();
  e.Wr = 120.0;
  e.climate_and_water_balance();
  EXPECT_DOUBLE_EQ(e.Aw, 0.5);
  EXPECT_NEAR(e.PsiD, 1.27751405, 1e-8);
}

TEST(ClimateAndWaterBalance, AboveFieldCapacityTensionStaysAtItsFieldCapacityValue) {
  Evaluation wet = july_day();
  wet.Wr = 240.0;
  wet.climate_and_water_balance();
  EXPECT_DOUBLE_EQ(wet.Aw, 1.5);
  EXPECT_DOUBLE_EQ(wet.PsiD, -0.033 - -1.5);

  Evaluation at_capacity = july_day();
  at_capacity.Wr = 180.0;
  at_capacity.climate_and_water_balance();
  EXPECT_EQ(at_capacity.Aw, 1.0);
  EXPECT_NEAR(at_capacity.PsiD, wet.PsiD, 1e-12);
}

TEST(SolarGeometry, DayLengthAtLatitude45OnMidsummerDay) {
  Evaluation e;
  e.Deltad = 45.0;
  e.Jday = 171.25;
  e.solar_geometry();
  EXPECT_NEAR(e.Dec, 0.40934952, 1e-8);
  EXPECT_NEAR(e.Hd, 15.4284, 5e-5);
  EXPECT_NEAR(e.Hd, 15.42835376, 1e-8);
}

TEST(SolarGeometry, MidnightSunBeyondThePolarCircle) {
  Evaluation e;
  e.Deltad = 70.0;
  e.Jday = 171.25;
  e.solar_geometry();
  EXPECT_EQ(e.Hd, 24.0);
}

TEST(SolarGeometry, PolarNightHasNoDaylightAndNoPotentialRadiation) {
  Evaluation e;
  e.Deltad = 70.0;
  e.Jday = 171.25 + 182.625;  // midwinter
  e.II = 0.5;
  e.dt = 1.0;
  e.solar_geometry();
  EXPECT_EQ(e.Hd, 0.0);
  e.end_of_step();
  EXPECT_EQ(e.Q0, 0.0);
  EXPECT_EQ(e.Fs, 0.0);
  EXPECT_DOUBLE_EQ(e.Fc, 0.1);
}

TEST(DrainageAndDischarge, DrainsOnlyAboveFieldCapacityFromUnfrozenSoil) {
  Evaluation e = july_day();
  e.Wr = 200.0;
  e.drainage_and_discharge();
  EXPECT_DOUBLE_EQ(e.DR, 2.0);
  EXPECT_DOUBLE_EQ(e.Qg, 3.0);

  e.Ts = 0.0;
  e.drainage_and_discharge();
  EXPECT_EQ(e.DR, 0.0);

  e.Ts = 5.0;
  e.Wr = 180.0;  // at field capacity
  e.drainage_and_discharge();
  EXPECT_EQ(e.DR, 0.0);
}

// The climate part of the once-per-step block.
class EndOfStep : public ::testing::Test {
 protected:
  void SetUp() override {
    e = july_day();
    e.Jddstart = 60.0;
    e.DDfstop = 500.0;
    e.JlambdaStart = 240.0;
    e.TacrF = 10.0;
    e.TacrW = 8.0;
    e.TacrR = 6.0;
    e.Tas = 0.0;
    e.bIf = 0.1;
    e.bIsw = 0.00005;
    e.rhot = 0.6;
    e.alphas = 0.6;
    e.gammat = 1.0;
    e.DDa = 1500.0;
    e.Jdfs = 999.0;
    e.Jdws = 999.0;
    e.Jdrs = 999.0;
    e.climate_and_water_balance();
    e.solar_geometry();
  }

  Evaluation e;
};

TEST_F(EndOfStep, DegreeDaysCountWarmDaysFromTheirStartDay) {
  e.dt = 0.5;
  e.end_of_step();
  EXPECT_EQ(e.day_increment, 0.5);
  EXPECT_DOUBLE_EQ(e.air_degree_day_increment, 21.05 * 0.5);
  EXPECT_DOUBLE_EQ(e.soil_degree_day_increment, 22.0 * 0.5);

  e.Jday = 59.0;  // before Jddstart
  e.end_of_step();
  EXPECT_EQ(e.air_degree_day_increment, 0.0);
  EXPECT_EQ(e.soil_degree_day_increment, 0.0);

  e.Jday = 60.0;
  e.Ta = -1.0;
  e.Ts = 0.0;
  e.end_of_step();
  EXPECT_EQ(e.air_degree_day_increment, 0.0);
  EXPECT_EQ(e.soil_degree_day_increment, 0.0);
}

TEST_F(EndOfStep, EndOfSeasonLeafAreaFollowsTheCanopyUntilFoliageSenescence) {
  e.Laieos = 3.0;
  e.end_of_step();
  EXPECT_EQ(e.Laieos_captured, e.LAI);

  e.Jdfs = 180.0;  // senescence began: the captured value holds
  e.end_of_step();
  EXPECT_EQ(e.Laieos_captured, 3.0);

  e.DDa = 400.0;  // before full canopy
  e.Jdfs = 999.0;
  e.end_of_step();
  EXPECT_EQ(e.Laieos_captured, 3.0);
}

TEST_F(EndOfStep, EndOfSeasonLeafAreaIsClearedAtExactlyFullCanopyAfterSenescence) {
  e.Laieos = 3.0;
  e.DDa = 500.0;
  e.Jdfs = 150.0;
  e.end_of_step();
  EXPECT_EQ(e.Laieos_captured, 0.0);

  e.Jdfs = 999.0;
  e.end_of_step();
  EXPECT_EQ(e.Laieos_captured, e.LAI);
}

TEST_F(EndOfStep, SenescenceStartsAtTheCriticalTemperature) {
  e.Jday = 250.0;
  e.Ta = 10.0;  // TacrF exactly
  e.Ts = 6.0;   // TacrR exactly
  e.end_of_step();
  EXPECT_EQ(e.J1, 251.0);
  EXPECT_TRUE(e.foliage_senescence_starts);
  EXPECT_FALSE(e.wood_senescence_starts);  // 10 > TacrW
  EXPECT_TRUE(e.root_senescence_starts);

  e.Ta = 10.000001;
  e.end_of_step();
  EXPECT_FALSE(e.foliage_senescence_starts);
}

TEST_F(EndOfStep, SenescenceWaitsForTheLitterSeasonAndStartsOnlyOnce) {
  e.Ta = 5.0;
  e.Ts = 5.0;
  e.Jday = 238.5;  // J1 = 239.5 < JlambdaStart
  e.end_of_step();
  EXPECT_FALSE(e.foliage_senescence_starts);
  EXPECT_FALSE(e.wood_senescence_starts);
  EXPECT_FALSE(e.root_senescence_starts);

  e.Jday = 239.0;  // J1 = 240 = JlambdaStart
  e.end_of_step();
  EXPECT_TRUE(e.foliage_senescence_starts);
  EXPECT_TRUE(e.wood_senescence_starts);
  EXPECT_TRUE(e.root_senescence_starts);

  e.Jdfs = 245.0;
  e.Jdws = 245.0;
  e.Jdrs = 245.0;
  e.end_of_step();
  EXPECT_FALSE(e.foliage_senescence_starts);
  EXPECT_FALSE(e.wood_senescence_starts);
  EXPECT_FALSE(e.root_senescence_starts);
}

TEST_F(EndOfStep, RainIsInterceptedByLeavesAndSapwood) {
  e.end_of_step();
  EXPECT_EQ(e.Pptr, 3.6);
  EXPECT_EQ(e.Ppts, 0.0);
  EXPECT_DOUBLE_EQ(e.PptI, 0.00005 * 3000.0 + 0.1 * 5.0);
}

TEST_F(EndOfStep, InterceptionNeverExceedsRainfall) {
  e.Ppt = 0.3;
  e.end_of_step();
  EXPECT_EQ(e.Pptr, 0.3);
  EXPECT_EQ(e.PptI, 0.3);
}

TEST_F(EndOfStep, AirTemperatureAtTheSnowThresholdCountsAsRain) {
  e.Ta = 0.0;
  e.end_of_step();
  EXPECT_EQ(e.Pptr, 3.6);
  EXPECT_EQ(e.Ppts, 0.0);
}

TEST_F(EndOfStep, BelowTheSnowThresholdPrecipitationIsSnowAndNothingIsIntercepted) {
  e.Ta = -0.5;
  e.end_of_step();
  EXPECT_EQ(e.Pptr, 0.0);
  EXPECT_EQ(e.Ppts, 3.6);
  EXPECT_EQ(e.PptI, 0.0);
}

TEST_F(EndOfStep, SnowmeltOfAColdJanuaryDayComesFromRadiationOnly) {
  e.Jday = 30.0;
  e.Tamax = 2.0;
  e.Tamin = -6.0;
  e.II = 8.0;
  e.Ws = 50.0;
  e.climate_and_water_balance();
  e.solar_geometry();
  e.end_of_step();
  EXPECT_NEAR(e.Hd, 9.72437174, 1e-8);
  EXPECT_NEAR(e.Q0, 16.54988593, 1e-8);
  EXPECT_NEAR(e.Fs, 0.52788962, 1e-8);
  EXPECT_DOUBLE_EQ(e.TaK, 271.15);
  EXPECT_DOUBLE_EQ(e.TsnK, 268.65);
  EXPECT_NEAR(e.Fc, 0.57510066, 1e-8);
  EXPECT_NEAR(e.Rn, 1.09352744, 1e-8);
  EXPECT_NEAR(e.Ms, 3.26964706, 1e-8);
}

TEST_F(EndOfStep, SnowmeltOfAThawingDayAddsTheWarmAirAndIsLimitedByTheSnowpack) {
  e.Jday = 90.0;
  e.Tamax = 9.0;
  e.Tamin = 1.0;
  e.II = 15.0;
  e.Ws = 50.0;
  e.climate_and_water_balance();
  e.solar_geometry();
  e.end_of_step();
  EXPECT_DOUBLE_EQ(e.TsnK, 273.15);
  EXPECT_NEAR(e.Rn, 3.34165244, 1e-8);
  EXPECT_NEAR(e.Ms, 19.99154079, 1e-8);

  e.Ws = 3.0;
  e.end_of_step();
  EXPECT_EQ(e.Ms, 3.0);

  e.Ws = 0.0;
  e.end_of_step();
  EXPECT_EQ(e.Ms, 0.0);
}

TEST_F(EndOfStep, StepsOfADayOrLessMeltAtMostTheSnowpackPerDay) {
  e.Ws = 3.0;
  e.dt = 0.25;
  e.end_of_step();
  EXPECT_EQ(e.Ms, 3.0);
  e.dt = 1.0;
  e.end_of_step();
  EXPECT_EQ(e.Ms, 3.0);
}

TEST_F(EndOfStep, StepsLongerThanADayMeltNoMoreThanTheSnowpack) {
  e.Ws = 3.0;
  e.dt = 2.0;
  e.end_of_step();
  EXPECT_EQ(e.Ms, 1.5);
  EXPECT_EQ(e.Ws + (e.Ppts - e.Ms) * e.dt, 0.0);

  e.Ws = 500.0;  // more snow than two warm days melt
  e.end_of_step();
  EXPECT_GT(e.Ms, 20.0);
  EXPECT_LT(e.Ms * e.dt, e.Ws);
}

}  // namespace
}  // namespace vindrel::equations
