// What the NetCDF output says about each column in the words of the CF
// conventions, so that climate-data tools read its quantities right.
//
// The model's unit texts are labels for people: "g C m-2 day-1" names the
// element in the middle of the unit, "mm H2O" the substance. A units library
// (UDUNITS, which CF tools use) reads the first as grams times coulombs per
// square metre and day, and the second as a pressure. The CF description
// moves the element into the long name and keeps a unit that UDUNITS reads
// as the quantity meant:
//
//   "g C m-2 day-1"   units "g m-2 d-1", long name "<name>, carbon"
//   "mm H2O"          units "mm", long name "<name>, liquid water equivalent"
//   "oC"              units "degC"
//   "unitless"        units "1"
//
// The running yearly totals ("Cum." states, units "... yr-1") are amounts
// gathered since the start of the model's year, not rates: their unit is the
// amount's ("g m-2", "mm"), and the long name says so. The values themselves
// are never changed. Unit texts this table does not know get no CF units.
//
// Two model values carry a meaning rather than a quantity: the driver value
// -1 that prescribes nothing (the model computes the quantity itself) and the
// senescence start day 999 (senescence has not begun this year). Their
// columns declare them as the fill value, so that tools mask them and a mean
// skips them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fileio/column_labels.hpp"

namespace vindrel {

struct CfDescription {
  std::string units;                 // UDUNITS text; empty when the model's text is unknown
  std::string long_name;             // the model's name, and what the unit no longer says
  std::string standard_name;         // from the CF standard-name table, or empty
  std::string cell_methods;          // "time: maximum" for a daily maximum, or empty
  std::optional<double> fill_value;  // a value that marks "no value", or none
  std::string comment;               // what the fill value means, or empty
};

// The CF units and the part of the long name that a model unit text stands
// for; nullopt for a text the table does not know.
struct CfUnits {
  std::string_view units;
  std::string_view quantity;  // "carbon", or empty
};
std::optional<CfUnits> cf_units_of(std::string_view model_units);

// The description of a value column of the model's output (not the time).
CfDescription cf_description(const ColumnLabel& label);

}  // namespace vindrel
