// Drought litter, litter seasons, litter fluxes with their driver sentinels,
// and the foliar nitrogen translocation.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

constexpr double kTight = 1e-12;

// A stand in drought and inside all three litter seasons, every litter driver
// at -1 (not prescribed).
Evaluation drought_stand_in_litter_season() {
  Evaluation e;
  e.Aw = 0.1;
  e.Awd = 0.3;
  e.alambdaCFD = 0.05;
  e.alambdaCRD = 0.02;
  e.atauD = 0.4;
  e.atau = 0.5;
  e.Cf = 300.0;
  e.Nf = 6.0;
  e.Csw = 3000.0;
  e.Nsw = 6.0;
  e.Chw = 7000.0;
  e.Nhw = 7.0;
  e.Cr = 300.0;
  e.Nr = 3.0;
  e.alambdaF = 0.01;
  e.sigmaLambdaF = 2.0;
  e.Cfe = 100.0;
  e.alambdaW = 0.001;
  e.sigmaLambdaW = 1.0;
  e.Cwe = 2000.0;
  e.alambdaR = 0.02;
  e.sigmaLambdaR = 1.0;
  e.Cre = 100.0;
  e.Jday = 300.0;
  e.Jdfs = 290.0;
  e.Jdws = 290.0;
  e.Jdrs = 290.0;
  e.DsensF = 20.0;
  e.DsensW = 20.0;
  e.DsensR = 20.0;
  e.DlambdaCF = -1.0;
  e.DlambdaCSW = -1.0;
  e.DlambdaCHW = -1.0;
  e.DlambdaCR = -1.0;
  e.DlambdaNF = -1.0;
  e.DlambdaNSW = -1.0;
  e.DlambdaNHW = -1.0;
  e.DlambdaNR = -1.0;
  return e;
}

void run_litter(Evaluation& e) {
  e.drought_litter();
  e.litterfall();
}

// ---------------------------------------------------------------- drought

TEST(DroughtLitter, ShortfallSquaredTimesRateTimesPool) {
  Evaluation e = drought_stand_in_litter_season();
  e.drought_litter();
  // Shortfall 0.3 - 0.1 = 0.2, squared 0.04.
  EXPECT_NEAR(e.lambdaCFD, 0.04 * 0.05 * 300.0, kTight);      // 0.6
  EXPECT_NEAR(e.lambdaCRD, 0.04 * 0.02 * 300.0, kTight);      // 0.24
  EXPECT_NEAR(e.lambdaNFD, 0.6 * 0.6 * 6.0 / 300.0, kTight);  // 0.0072
  EXPECT_NEAR(e.lambdaNRD, 0.24 * 3.0 / 300.0, kTight);       // 0.0024
  EXPECT_NEAR(e.tauND, 0.4 * 0.6 * 6.0 / 300.0, kTight);      // 0.0048
}

TEST(DroughtLitter, FoliageNitrogenSplitsBetweenLitterAndTranslocation) {
  Evaluation e = drought_stand_in_litter_season();
  e.drought_litter();
  EXPECT_NEAR(e.lambdaNFD + e.tauND, e.lambdaCFD * e.Nf / e.Cf, kTight);
}

TEST(DroughtLitter, AvailableWaterAtThresholdGivesNoDroughtLitter) {
  Evaluation e = drought_stand_in_litter_season();
  e.Aw = e.Awd;
  e.lambdaCFD = e.lambdaCRD = e.lambdaNFD = e.lambdaNRD = e.tauND = 7.0;
  e.drought_litter();
  EXPECT_EQ(e.lambdaCFD, 0.0);
  EXPECT_EQ(e.lambdaCRD, 0.0);
  EXPECT_EQ(e.lambdaNFD, 0.0);
  EXPECT_EQ(e.lambdaNRD, 0.0);
  EXPECT_EQ(e.tauND, 0.0);
}

TEST(DroughtLitter, AvailableWaterAtThresholdStillTakesTheFoliageNitrogenRatio) {
  // At the threshold drought holds (with a zero shortfall), so the foliage
  // N:C is formed: without foliage that is 0 / 0, an invalid operation.
  Evaluation e = drought_stand_in_litter_season();
  e.Aw = e.Awd;
  e.Cf = 0.0;
  std::feclearexcept(FE_ALL_EXCEPT);
  e.drought_litter();
  EXPECT_TRUE(std::fetestexcept(FE_INVALID));
}

TEST(DroughtLitter, WetSoilHasNoDroughtLitterAndDividesByNothing) {
  Evaluation e = drought_stand_in_litter_season();
  e.Aw = 0.30000000001;
  e.Cf = 0.0;
  e.Cr = 0.0;
  e.lambdaCFD = e.lambdaCRD = e.lambdaNFD = e.lambdaNRD = e.tauND = 7.0;
  std::feclearexcept(FE_ALL_EXCEPT);
  e.drought_litter();
  EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID));
  EXPECT_EQ(e.lambdaCFD, 0.0);
  EXPECT_EQ(e.lambdaCRD, 0.0);
  EXPECT_EQ(e.lambdaNFD, 0.0);
  EXPECT_EQ(e.lambdaNRD, 0.0);
  EXPECT_EQ(e.tauND, 0.0);
}

// ---------------------------------------------------------------- seasons

TEST(LitterSeason, OpensOnStartDayAndClosesAfterSenescencePeriod) {
  Evaluation e = drought_stand_in_litter_season();
  e.Jdfs = 280.0;
  e.DsensF = 20.0;
  const double days[] = {279.999, 280.0, 299.999, 300.0};
  const double open[] = {0.0, 1.0, 1.0, 0.0};
  for (int i = 0; i < 4; ++i) {
    e.Jday = days[i];
    run_litter(e);
    EXPECT_EQ(e.FFall, open[i]) << "Jday " << days[i];
  }
}

TEST(LitterSeason, EachTissueFollowsItsOwnStartDayAndPeriod) {
  Evaluation e = drought_stand_in_litter_season();
  e.Jday = 300.0;
  e.Jdfs = 300.0;  // opens today
  e.Jdws = 270.0;
  e.DsensW = 30.0;  // closed today
  e.Jdrs = 999.0;   // not begun
  run_litter(e);
  EXPECT_EQ(e.FFall, 1.0);
  EXPECT_EQ(e.WFall, 0.0);
  EXPECT_EQ(e.RFall, 0.0);
}

TEST(LitterSeason, NoSenescenceLeavesOnlyDroughtLitter) {
  Evaluation e = drought_stand_in_litter_season();
  e.Jdfs = e.Jdws = e.Jdrs = 999.0;
  run_litter(e);
  EXPECT_EQ(e.FFall, 0.0);
  EXPECT_EQ(e.lambdaCF, e.lambdaCFD);
  EXPECT_EQ(e.lambdaCR, e.lambdaCRD);
  EXPECT_EQ(e.lambdaCSW, 0.0);
  EXPECT_EQ(e.lambdaCHW, 0.0);
}

// ---------------------------------------------------------------- fluxes

TEST(Litterfall, ModelledFluxesOfADroughtStandInSeason) {
  Evaluation e = drought_stand_in_litter_season();
  run_litter(e);
  // Foliage: evergreen factor 1 - 100 / sqrt(300^2 + 100^2) = 0.68377223398316,
  // times 0.01 * 300, plus drought litter 0.6.
  EXPECT_NEAR(e.lambdaCF, 2.6513167019494865, kTight);
  // Wood: one factor on the total wood, 1 - 2000 / (10000 + 2000) = 5/6,
  // times 0.001 and each tissue's carbon.
  EXPECT_NEAR(e.Cw, 10000.0, kTight);
  EXPECT_NEAR(e.lambdaCSW, 2.5, kTight);
  EXPECT_NEAR(e.lambdaCHW, 35.0 / 6.0, kTight);
  // Roots: 1 - 100 / 400 = 0.75, times 0.02 * 300, plus drought litter 0.24.
  EXPECT_NEAR(e.lambdaCR, 4.74, kTight);
  // Nitrogen at the tissue's N:C, foliage keeping half, plus the drought N.
  EXPECT_NEAR(e.lambdaNF, 0.5 * 2.6513167019494865 * 6.0 / 300.0 + 0.0072, kTight);
  EXPECT_NEAR(e.lambdaNSW, 2.5 * 6.0 / 3000.0, kTight);
  EXPECT_NEAR(e.lambdaNHW, 35.0 / 6.0 * 7.0 / 7000.0, kTight);
  EXPECT_NEAR(e.lambdaNR, 4.74 * 3.0 / 300.0 + 0.0024, kTight);
  EXPECT_NEAR(e.tauN, 0.5 * 2.6513167019494865 * 6.0 / 300.0 + 0.0048, kTight);
}

TEST(Litterfall, WoodLitterSplitsInProportionToCarbon) {
  Evaluation e = drought_stand_in_litter_season();
  e.Csw = 1234.5;
  e.Chw = 8765.5;
  run_litter(e);
  EXPECT_NEAR(e.lambdaCSW / e.lambdaCHW, 1234.5 / 8765.5, kTight);
}

TEST(Litterfall, SmallPoolAgainstEvergreenAmountShedsLittle) {
  Evaluation e = drought_stand_in_litter_season();
  e.Aw = 0.5;  // no drought
  e.Cf = 1.0;
  e.Nf = 0.02;
  e.Cfe = 100.0;
  run_litter(e);
  // 1 - 100 / sqrt(1 + 10000) = 4.99975e-5 of the pool's seasonal rate.
  EXPECT_NEAR(e.lambdaCF, (1.0 - 100.0 / std::sqrt(10001.0)) * 0.01 * 1.0, kTight);
  EXPECT_LT(e.lambdaCF, 1e-6);
}

TEST(Litterfall, DroughtNitrogenComesOnTopOfSeasonalNitrogen) {
  // The foliage litter carbon already holds the drought litter; the nitrogen
  // that leaves the foliage is the litter carbon at the foliage N:C plus the
  // drought foliage's nitrogen once more.
  Evaluation e = drought_stand_in_litter_season();
  run_litter(e);
  EXPECT_NEAR(e.lambdaNF + e.tauN, (e.lambdaCF + e.lambdaCFD) * e.Nf / e.Cf, kTight);
  EXPECT_NEAR(e.lambdaNR, (e.lambdaCR + e.lambdaCRD) * e.Nr / e.Cr, kTight);
}

TEST(Litterfall, NoHeartwoodMeansNoHeartwoodLitterNitrogen) {
  Evaluation e = drought_stand_in_litter_season();
  e.Chw = 0.0;
  e.Nhw = 0.0;
  std::feclearexcept(FE_ALL_EXCEPT);
  run_litter(e);
  EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID));
  EXPECT_EQ(e.lambdaCHW, 0.0);
  EXPECT_EQ(e.lambdaNHW, 0.0);
}

// ---------------------------------------------------------------- sentinels

// The eight litter drivers and the fluxes they prescribe.
struct LitterDriver {
  const char* name;
  double Evaluation::*driver;
  double Evaluation::*flux;
};

constexpr LitterDriver kLitterDrivers[] = {
    {"DlambdaCF", &Evaluation::DlambdaCF, &Evaluation::lambdaCF},
    {"DlambdaCSW", &Evaluation::DlambdaCSW, &Evaluation::lambdaCSW},
    {"DlambdaCHW", &Evaluation::DlambdaCHW, &Evaluation::lambdaCHW},
    {"DlambdaCR", &Evaluation::DlambdaCR, &Evaluation::lambdaCR},
    {"DlambdaNF", &Evaluation::DlambdaNF, &Evaluation::lambdaNF},
    {"DlambdaNSW", &Evaluation::DlambdaNSW, &Evaluation::lambdaNSW},
    {"DlambdaNHW", &Evaluation::DlambdaNHW, &Evaluation::lambdaNHW},
    {"DlambdaNR", &Evaluation::DlambdaNR, &Evaluation::lambdaNR},
};

TEST(LitterDriverSentinel, MinusOneLeavesEveryFluxToTheModel) {
  Evaluation modelled = drought_stand_in_litter_season();
  run_litter(modelled);
  for (const LitterDriver& d : kLitterDrivers) {
    EXPECT_NE(modelled.*(d.flux), -1.0) << d.name;
    EXPECT_GT(modelled.*(d.flux), 0.0) << d.name;
  }
}

TEST(LitterDriverSentinel, AnyOtherValueReplacesTheFlux) {
  // 0 included, and values a hair away from -1.
  const double values[] = {
      0.0, 0.125, 3.5, -0.5, std::nextafter(-1.0, 0.0), std::nextafter(-1.0, -2.0)};
  for (const LitterDriver& d : kLitterDrivers) {
    for (const double value : values) {
      Evaluation e = drought_stand_in_litter_season();
      e.*(d.driver) = value;
      run_litter(e);
      EXPECT_EQ(e.*(d.flux), value) << d.name << " = " << value;
    }
  }
}

TEST(LitterDriverSentinel, PrescribingOneFluxLeavesTheOthersModelled) {
  // Entries 0..3 are the carbon fluxes of foliage, sapwood, heartwood and
  // roots, entries 4..7 the nitrogen fluxes of the same tissues. A carbon
  // driver also changes the modelled nitrogen of its own tissue.
  Evaluation modelled = drought_stand_in_litter_season();
  run_litter(modelled);
  for (int i = 0; i < 8; ++i) {
    Evaluation e = drought_stand_in_litter_season();
    e.*(kLitterDrivers[i].driver) = 0.0;
    run_litter(e);
    for (int j = 0; j < 8; ++j) {
      if (j == i || (i < 4 && j == i + 4)) continue;
      EXPECT_EQ(e.*(kLitterDrivers[j].flux), modelled.*(kLitterDrivers[j].flux))
          << kLitterDrivers[i].name << " prescribed, " << kLitterDrivers[j].name << " changed";
    }
  }
}

TEST(LitterDriverSentinel, PrescribedFoliageOrRootLitterReplacesDroughtLitterToo) {
  Evaluation e = drought_stand_in_litter_season();
  e.DlambdaCF = 0.0;
  e.DlambdaCR = 0.0;
  run_litter(e);
  EXPECT_GT(e.lambdaCFD, 0.0);
  EXPECT_GT(e.lambdaCRD, 0.0);
  EXPECT_EQ(e.lambdaCF, 0.0);
  EXPECT_EQ(e.lambdaCR, 0.0);
}

TEST(LitterDriverSentinel, PrescribedFoliageCarbonCarriesModelledNitrogen) {
  Evaluation e = drought_stand_in_litter_season();
  e.DlambdaCF = 1.5;
  run_litter(e);
  EXPECT_NEAR(e.lambdaNF, (1.0 - 0.5) * 1.5 * 6.0 / 300.0 + e.lambdaNFD, kTight);
  EXPECT_NEAR(e.tauN, 0.5 * 1.5 * 6.0 / 300.0 + e.tauND, kTight);
}

TEST(LitterDriverSentinel, PrescribedRootCarbonCarriesModelledNitrogen) {
  Evaluation e = drought_stand_in_litter_season();
  e.DlambdaCR = 2.0;
  run_litter(e);
  EXPECT_NEAR(e.lambdaNR, 2.0 * 3.0 / 300.0 + e.lambdaNRD, kTight);
}

TEST(LitterDriverSentinel, PrescribedHeartwoodNitrogenIsIgnoredWithoutHeartwood) {
  Evaluation e = drought_stand_in_litter_season();
  e.Chw = 0.0;
  e.Nhw = 0.0;
  e.DlambdaNHW = 0.5;
  run_litter(e);
  EXPECT_EQ(e.lambdaNHW, 0.0);
  e.Chw = 10.0;
  run_litter(e);
  EXPECT_EQ(e.lambdaNHW, 0.5);
}

TEST(LitterDriverSentinel, PrescribedWoodLitterNeedsNoWood) {
  Evaluation e = drought_stand_in_litter_season();
  e.Csw = e.Chw = 0.0;
  e.DlambdaCSW = 0.25;
  e.DlambdaCHW = 0.0;
  e.DlambdaNSW = 0.001;
  std::feclearexcept(FE_ALL_EXCEPT);
  run_litter(e);
  EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID));
  EXPECT_EQ(e.lambdaCSW, 0.25);
  EXPECT_EQ(e.lambdaCHW, 0.0);
  EXPECT_EQ(e.lambdaNSW, 0.001);
  EXPECT_EQ(e.lambdaNHW, 0.0);
}

TEST(FoliarTranslocation, FollowsFoliageLitterWithoutDrought) {
  Evaluation e = drought_stand_in_litter_season();
  e.Aw = 0.9;
  run_litter(e);
  EXPECT_EQ(e.tauND, 0.0);
  EXPECT_NEAR(e.tauN, e.atau * e.lambdaCF * e.Nf / e.Cf, kTight);
  EXPECT_NEAR(e.tauN + e.lambdaNF, e.lambdaCF * e.Nf / e.Cf, kTight);
}

}  // namespace
}  // namespace vindrel::equations
