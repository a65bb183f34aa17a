// Soil mineral nitrogen: the split of ammonium and nitrate into dissolved and
// sorbed parts and their loss with drainage water.
#include <gtest/gtest.h>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel::equations {
namespace {

// One gram of N in a square metre of soil, 100 mm of root-zone water and a
// sorption capacity of 0.65 g N m-2 for each ion.
Evaluation worked_example() {
  Evaluation e;
  e.Wr = 100.0;
  e.Nnh4 = 1.0;
  e.Nno3 = 1.0;
  e.rhoS = 1.3e6;
  e.z = 0.5;
  e.Vnh4max = 1e-6;
  e.etaNH4 = 50.0;
  e.Vno3max = 1e-6;
  e.etaNO3 = 50.0;
  return e;
}

TEST(SoilMineralNitrogen, AmmoniumSplitWorkedExample) {
  Evaluation e = worked_example();
  e.soil_mineral_nitrogen();
  EXPECT_NEAR(e.Nnh4aq, 313.809, 5e-4);
  EXPECT_NEAR(e.Nnh4aq, 313.80899353, 1e-7);
  EXPECT_NEAR(e.Nnh4s, 0.56067, 5e-6);
  EXPECT_NEAR(e.Nnh4s, 0.56066741, 1e-8);
}

TEST(SoilMineralNitrogen, DissolvedAndSorbedPartsAddUpToTheTotal) {
  Evaluation e = worked_example();
  for (const double total : {0.01, 0.3, 1.0, 4.0, 25.0}) {
    e.Nnh4 = total;
    e.soil_mineral_nitrogen();
    const double c = 0.000014 * e.Wr;
    const double capacity = e.rhoS * e.z * e.Vnh4max;
    const double dissolved = c * e.Nnh4aq;
    const double sorbed = capacity * e.Nnh4aq / (e.etaNH4 + e.Nnh4aq);
    EXPECT_NEAR(dissolved + sorbed, total, 1e-12 * (1.0 + total)) << total;
    EXPECT_NEAR(e.Nnh4s, sorbed, 1e-9 * (1.0 + total)) << total;
  }
}

TEST(SoilMineralNitrogen, NitrateUsesItsOwnCapacityAndAffinityOnTheSameSoil) {
  Evaluation e = worked_example();
  e.soil_mineral_nitrogen();
  EXPECT_EQ(e.Nno3aq, e.Nnh4aq);
  EXPECT_EQ(e.Nno3s, e.Nnh4s);

  e.Vno3max = 0.0;  // nitrate is not sorbed
  e.etaNO3 = 10.0;
  e.soil_mineral_nitrogen();
  EXPECT_NEAR(e.Nno3aq, 1.0 / 0.0014, 1e-9);
  EXPECT_NEAR(e.Nno3s, 0.0, 1e-15);
  EXPECT_NEAR(e.Nnh4aq, 313.80899353, 1e-7);  // ammonium unchanged
}

TEST(SoilMineralNitrogen, WithoutSorptionCapacityAllAmmoniumIsDissolved) {
  Evaluation e = worked_example();
  e.Vnh4max = 0.0;
  e.soil_mineral_nitrogen();
  EXPECT_NEAR(e.Nnh4aq, 1.0 / 0.0014, 1e-9);
  EXPECT_NEAR(e.Nnh4s, 0.0, 1e-15);
}

TEST(SoilMineralNitrogen, NoMineralNitrogenNoConcentration) {
  Evaluation e = worked_example();
  e.Nnh4 = 0.0;
  e.Nno3 = 0.0;
  e.soil_mineral_nitrogen();
  EXPECT_EQ(e.Nnh4aq, 0.0);
  EXPECT_EQ(e.Nnh4s, 0.0);
  EXPECT_EQ(e.Nno3aq, 0.0);
  EXPECT_EQ(e.Nno3s, 0.0);
}

TEST(SoilMineralNitrogen, NoLossWithoutDrainage) {
  Evaluation e = worked_example();
  e.DR = 0.0;
  e.soil_mineral_nitrogen();
  EXPECT_EQ(e.QNH4, 0.0);
  EXPECT_EQ(e.QNO3, 0.0);
}

TEST(SoilMineralNitrogen, LossIsTheDissolvedConcentrationInTheDrainageWater) {
  Evaluation e = worked_example();
  e.DR = 10.0;  // mm H2O day-1
  e.Nno3 = 0.5;
  e.soil_mineral_nitrogen();
  EXPECT_NEAR(e.QNH4, 0.000014 * 10.0 * 313.80899353, 1e-10);
  EXPECT_DOUBLE_EQ(e.QNO3, 0.000014 * 10.0 * e.Nno3aq);
  EXPECT_LT(e.QNO3, e.QNH4);
}

// In a whole evaluation: the split follows a prescribed total, and a dry root
// zone is a division by zero.
TEST(SoilMineralNitrogen, PrescribedAmmoniumIsWhatTheSplitUses) {
  Model model = support::temperate_forest();
  model.parameters[parameter::Vnh4max].value = 1e-6;
  model.parameters[parameter::etaNH4].value = 50.0;
  model.states[state::Wr].value = 100.0;
  model.drivers[driver::DNnh4].value = 1.0;
  model.states[state::Nnh4].value = 7.0;
  const EvaluationClock clock{1.0, 0.0};
  EvaluateEquations(model, clock, model.states, 100.0, model.processes, false);
  EXPECT_EQ(model.states[state::Nnh4].value, 1.0);
  EXPECT_NEAR(model.processes[process::Nnh4aq].value, 313.80899353, 1e-7);
  EXPECT_NEAR(model.processes[process::Nnh4s].value, 0.56066741, 1e-8);
}

TEST(SoilMineralNitrogen, DryRootZoneIsADivisionByZero) {
  Model model = support::temperate_forest();
  model.states[state::Wr].value = 0.0;
  const EvaluationClock clock{1.0, 0.0};
  EXPECT_THROW(EvaluateEquations(model, clock, model.states, 100.0, model.processes, false),
               EZeroDivide);
}

}  // namespace
}  // namespace vindrel::equations
