#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"

namespace vindrel {
namespace {

class ModelDefinition : public ::testing::Test {
 protected:
  Model model = make_model();
  const TModelDef& info = model.ModelInfo;
};

TEST_F(ModelDefinition, NamesTheModelItsVersionAndTimeUnit) {
  EXPECT_EQ(info.ModelName, "Vindrel");
  EXPECT_EQ(info.ModelVersion, "6.4.1");
  EXPECT_EQ(info.TimeUnit, "days");
}

TEST_F(ModelDefinition, FirstParamIndexLocatesEachProcessesParameters) {
  EXPECT_EQ(FirstParamIndex(model, 56), 0);    // Ta, first own process
  EXPECT_EQ(FirstParamIndex(model, 58), 0);    // Hd: its parameter is entry 1
  EXPECT_EQ(FirstParamIndex(model, 59), 1);    // Pptr: entry 2
  EXPECT_EQ(FirstParamIndex(model, 61), 2);    // PptI after Ppts, which has none
  EXPECT_EQ(FirstParamIndex(model, 109), 60);  // foliage phenology: entries 61..66
  EXPECT_EQ(FirstParamIndex(model, 189), 114);
  for (int p = 1; p <= 55; ++p) EXPECT_EQ(FirstParamIndex(model, p), 0) << p;
  EXPECT_EQ(FirstParamIndex(model, -3), 0);
}

TEST_F(ModelDefinition, FirstParamIndexAgreesWithNamedParameterPositions) {
  EXPECT_EQ(FirstParamIndex(model, process::Hd) + 1, parameter::Deltad);
  EXPECT_EQ(FirstParamIndex(model, process::LAI) + 1, parameter::mF);
  EXPECT_EQ(FirstParamIndex(model, process::fRLF) + 1, parameter::sL);
  EXPECT_EQ(FirstParamIndex(model, process::FoliagePhenology) + 1, parameter::Jddstart);
  EXPECT_EQ(FirstParamIndex(model, process::Fntri) + 1, parameter::aNtri);
  EXPECT_EQ(process::Ta, 56);
  EXPECT_EQ(process::TsMean, 57);
  EXPECT_EQ(process::RwmetL, 99);
  EXPECT_EQ(process::Qn, 189);
}

TEST_F(ModelDefinition, DerivativesCarryTheStateTextsWithAffixes) {
  EXPECT_EQ(model.processes[1].name, "dC: foliardt");
  EXPECT_EQ(model.processes[1].units, "g C m-2 groundt-1");
  EXPECT_EQ(model.processes[1].symbol, "dCfdt");
  EXPECT_EQ(model.processes[55].name, "dJday Root Sens = 999dt");
  EXPECT_EQ(model.processes[55].units, "Julian Dayt-1");
  EXPECT_EQ(model.processes[55].symbol, "dJdrsdt");
  EXPECT_EQ(model.processes[29].units, "mm H2O yr-1t-1");
  for (int i = 1; i <= 55; ++i) {
    EXPECT_EQ(model.processes[i].parameters, 0);
    EXPECT_EQ(model.processes[i].family, 0);
  }
}

TEST_F(ModelDefinition, TextsThatAreEasyToGetWrongAreExact) {
  EXPECT_EQ(model.drivers[17].units, "g N m-2 ");  // trailing blank kept
  EXPECT_EQ(model.drivers[18].units, "g N m-2");
  EXPECT_EQ(model.drivers[4].symbol, "Ts");
  EXPECT_EQ(model.processes[57].symbol, "Ts");
  EXPECT_EQ(model.processes[99].symbol, "RrmetL");
  EXPECT_EQ(model.processes[99].name, "Resp: Labile Wood");
  EXPECT_EQ(model.processes[100].symbol, "RrmetL");
  for (int p : {109, 110, 111}) {
    EXPECT_EQ(model.processes[p].symbol, "none");
    EXPECT_EQ(model.processes[p].family, 4);
  }
  EXPECT_EQ(model.processes[109].parameters, 6);
  EXPECT_EQ(model.parameters[parameter::epsilsonPs].symbol, "epsilsonPs");
  EXPECT_EQ(model.parameters[parameter::epsilsonUn].symbol, "epsilsonUn");
  EXPECT_EQ(parameter::epsilsonUn, 40);
  EXPECT_EQ(model.parameters[parameter::kNfix].name, "kNfix");
  EXPECT_EQ(model.parameters[parameter::kNfix].symbol, "kNfix");
  EXPECT_EQ(model.parameters[29].name, "isotopic signature of atm");
  EXPECT_EQ(model.parameters[29].name.size(), 25u);
  EXPECT_EQ(model.parameters[3].units, "mmH2O m2 gnd m-2 leaf day-1");
  EXPECT_EQ(model.parameters[3].units.size(), 27u);
  EXPECT_EQ(model.states[25].units, "day");
  EXPECT_EQ(model.states[53].units, "Julian Day");
  EXPECT_EQ(model.states[21].name, "H2O: Root-zone");
  EXPECT_EQ(model.processes[69].units, "umol N L-1 H2O");
  EXPECT_EQ(model.processes[157].name, "C:N; Foliage");
}

TEST_F(ModelDefinition, ProcessFamilies) {
  std::set<int> families;
  for (int p = 56; p <= 189; ++p) {
    families.insert(model.processes[p].family);
    EXPECT_LE(model.processes[p].parameters, 6);
  }
  EXPECT_EQ(families, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(model.processes[process::Tc].family, 1);
  EXPECT_EQ(model.processes[process::rSm].family, 2);
  EXPECT_EQ(model.processes[process::Nnh4aq].family, 3);
  EXPECT_EQ(model.processes[process::CET].family, 4);
}

TEST_F(ModelDefinition, EveryEntryInUseIsNamedAndEveryOtherStaysEmpty) {
  for (int i = 1; i <= 55; ++i) EXPECT_FALSE(model.states[i].name.empty()) << i;
  for (int i = 1; i <= 189; ++i) EXPECT_FALSE(model.processes[i].symbol.empty()) << i;
  for (int i = 1; i <= 114; ++i) EXPECT_FALSE(model.parameters[i].name.empty()) << i;
  for (int i = 1; i <= 18; ++i) EXPECT_FALSE(model.drivers[i].name.empty()) << i;
  EXPECT_TRUE(model.states[56].name.empty());
  EXPECT_TRUE(model.states[56].symbol.empty());
  for (int i = 190; i <= 200; ++i) {
    EXPECT_TRUE(model.processes[i].name.empty());
    EXPECT_EQ(model.processes[i].parameters, 0);
  }
  for (int i = 115; i <= 200; ++i) EXPECT_TRUE(model.parameters[i].name.empty());
  EXPECT_TRUE(model.drivers[19].name.empty());
  EXPECT_TRUE(model.drivers[20].units.empty());
}

TEST_F(ModelDefinition, DefiningAgainLeavesValuesAndFlagsAlone) {
  model.states[1].value = 123.5;
  model.states[1].HoldConstant = true;
  model.states[2].Reset = true;
  model.parameters[25].value = 30.0;
  model.drivers[1].value = 360.0;
  model.processes[77].value = 4.5;
  define_model(model);
  EXPECT_EQ(model.states[1].value, 123.5);
  EXPECT_TRUE(model.states[1].HoldConstant);
  EXPECT_TRUE(model.states[2].Reset);
  EXPECT_EQ(model.parameters[25].value, 30.0);
  EXPECT_EQ(model.drivers[1].value, 360.0);
  EXPECT_EQ(model.processes[77].value, 4.5);
  EXPECT_EQ(model.ModelInfo.ParameterCount, 114);  // recomputed, not doubled
}

TEST_F(ModelDefinition, NewModelStartsWithZeroValuesAndClearFlags) {
  for (int i = 1; i <= 55; ++i) {
    EXPECT_EQ(model.states[i].value, 0.0);
    EXPECT_FALSE(model.states[i].HoldConstant);
    EXPECT_FALSE(model.states[i].Reset);
  }
  EXPECT_FALSE(model.NewYear);
}

}  // namespace
}  // namespace vindrel
