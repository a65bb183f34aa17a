#include "fileio/formats/cf_attributes.hpp"

#include <array>

#include "core/model_constants.hpp"
#include "core/positions.hpp"

namespace vindrel {
namespace {

struct UnitEntry {
  std::string_view model;  // the model's text, exactly
  CfUnits cf;
};

constexpr std::string_view kCarbon = "carbon";
constexpr std::string_view kNitrogen = "nitrogen";
constexpr std::string_view kWater = "liquid water equivalent";

// Every unit text of the model's drivers, states and processes.
constexpr std::array<UnitEntry, 29> kUnits{{
    {"g C m-2 ground", {"g m-2", kCarbon}},
    {"g C m-2", {"g m-2", kCarbon}},
    {"g N m-2 ground", {"g m-2", kNitrogen}},
    {"g N m-2", {"g m-2", kNitrogen}},
    {"g N m-2 ", {"g m-2", kNitrogen}},
    {"g C m-2 day-1", {"g m-2 d-1", kCarbon}},
    {"g N m-2 day-1", {"g m-2 d-1", kNitrogen}},
    {"g C m-2 yr-1", {"g m-2", "carbon, total since the start of the model year"}},
    {"g N m-2 yr-1", {"g m-2", "nitrogen, total since the start of the model year"}},
    {"g C g-1 N", {"g g-1", "grams of carbon per gram of nitrogen"}},
    {"g C m-2 ppm-1 day-1", {"g m-2 d-1 ppm-1", "carbon per ppm of carbon dioxide"}},
    {"mm H2O", {"mm", kWater}},
    {"mm H2O day-1", {"mm d-1", kWater}},
    {"m H2O day-1", {"m d-1", kWater}},
    {"mm H2O yr-1", {"mm", "liquid water equivalent, total since the start of the model year"}},
    {"umol N L-1 H2O", {"umol L-1", "nitrogen in the soil water"}},
    {"oC", {"degC", ""}},
    {"degree C day", {"K d", ""}},
    {"day", {"1", "day of the model year"}},
    {"Julian Day", {"1", "day of the model year"}},
    {"unitless", {"1", ""}},
    {"fraction", {"1", ""}},
    {"m2 leaf m-2 ground", {"1", "leaf area per ground area"}},
    {"m2 leaf m-2 grd", {"1", "leaf area per ground area"}},
    {"ppm", {"1e-6", "mole fraction in air"}},
    {"o/oo", {"1e-3", "per mil"}},
    {"MPa", {"MPa", ""}},
    {"MJ m-2 day-1", {"MJ m-2 d-1", ""}},
    {"hours", {"h", ""}},
}};

// Standard names of the columns that have one in the CF table, with the
// statistic a daily value stands for.
struct StandardEntry {
  ColumnTable table;
  int index;
  std::string_view symbol;
  std::string_view standard_name;
  std::string_view cell_methods;
};

constexpr std::array<StandardEntry, 12> kStandardNames{{
    {ColumnTable::kDriver, driver::Ca, "Ca", "mole_fraction_of_carbon_dioxide_in_air", ""},
    {ColumnTable::kDriver, driver::Tamax, "Tamax", "air_temperature", "time: maximum"},
    {ColumnTable::kDriver, driver::Tamin, "Tamin", "air_temperature", "time: minimum"},
    {ColumnTable::kDriver, driver::Ts, "Ts", "soil_temperature", "time: mean"},
    {ColumnTable::kDriver, driver::Ppt, "Ppt", "lwe_precipitation_rate", ""},
    {ColumnTable::kDriver, driver::II, "II", "surface_downwelling_shortwave_flux_in_air", ""},
    {ColumnTable::kProcess, process::Ta, "Ta", "air_temperature", "time: mean"},
    {ColumnTable::kProcess, process::TsMean, "Ts", "soil_temperature", "time: mean"},
    {ColumnTable::kProcess, process::LAI, "LAI", "leaf_area_index", ""},
    {ColumnTable::kProcess, process::Ps, "Ps",
     "gross_primary_productivity_of_biomass_expressed_as_carbon", ""},
    {ColumnTable::kProcess, process::NPP, "NPP",
     "net_primary_productivity_of_biomass_expressed_as_carbon", ""},
    {ColumnTable::kState, state::Ws, "Ws", "lwe_thickness_of_surface_snow_amount", ""},
}};

// Whether a column is the entry of the model's definition that `symbol`
// names (the name may carry the table and position after "_").
bool names_entry(const ColumnLabel& label, ColumnTable table, int index, std::string_view symbol) {
  if (label.table != table || label.index != index) return false;
  const std::string_view name = label.name;
  return name == symbol ||
         (name.starts_with(symbol) && name.size() > symbol.size() && name[symbol.size()] == '_');
}

constexpr std::array<int, 10> kPrescribingDrivers{
    driver::DlambdaCF, driver::DlambdaCSW, driver::DlambdaCHW, driver::DlambdaCR,
    driver::DlambdaNF, driver::DlambdaNSW, driver::DlambdaNHW, driver::DlambdaNR,
    driver::DNnh4,     driver::DNno3};
constexpr std::array<int, 3> kSenescenceDays{state::Jdfs, state::Jdws, state::Jdrs};

}  // namespace

std::optional<CfUnits> cf_units_of(std::string_view model_units) {
  for (const UnitEntry& entry : kUnits) {
    if (entry.model == model_units) return entry.cf;
  }
  return std::nullopt;
}

CfDescription cf_description(const ColumnLabel& label) {
  CfDescription cf;
  cf.long_name = label.long_name;
  if (const std::optional<CfUnits> units = cf_units_of(label.units)) {
    cf.units = units->units;
    if (!units->quantity.empty()) {
      cf.long_name += ", ";
      cf.long_name += units->quantity;
    }
  }
  for (const StandardEntry& entry : kStandardNames) {
    if (names_entry(label, entry.table, entry.index, entry.symbol)) {
      cf.standard_name = entry.standard_name;
      cf.cell_methods = entry.cell_methods;
    }
  }
  if (label.table == ColumnTable::kDriver && label.units.starts_with("g ")) {
    for (const int index : kPrescribingDrivers) {
      if (label.index == index) {
        cf.fill_value = kNotPrescribed;
        cf.comment = "-1 prescribes nothing: the model computes this quantity itself";
      }
    }
  }
  if (label.table == ColumnTable::kState && label.units == "Julian Day") {
    for (const int index : kSenescenceDays) {
      if (label.index == index) {
        cf.fill_value = kSenescenceNotStarted;
        cf.comment = "999: senescence has not begun this year";
      }
    }
  }
  return cf;
}

}  // namespace vindrel
