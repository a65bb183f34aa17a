// The columns of the output file and the names a user types for them.
//
// An output record holds, in this order, the time (column 0), drivers
// 1..DriverCount, states 1..StateCount and processes StateCount+1..ProcessCount
// (processes 1..StateCount are the states' derivatives, which the file does not
// hold). A column is named by
//   - its symbol, when exactly one column has it: LAI, Cf, Tamax
//   - its table and symbol: driver:Ts, state:Cf, process:LAI
//   - its table and 1-based position in that table: driver#4, state#1,
//     process#77 (processes run from StateCount+1)
//   - Time, the time column
//   - its name as the output file's header and the output display show it:
//     "Leaf Area Index"
// tried in the order given; a name several columns answer to is refused with
// the names that pick each of them alone. A list (resolve_output_list) also
// takes the groups drivers, states and processes.
//
// States only (OutputNames::kStates: the states to hold or reset) take a
// state's symbol, its bare position (5), state:SYMBOL or state#N.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"
#include "fileio/column_labels.hpp"

namespace vindrel {

struct OutputColumn {
  int column = 0;  // position among the output file's columns, 0 = the time
  ColumnTable kind = ColumnTable::kTime;
  int index = 0;       // 1-based entry in its table; 0 for the time
  std::string symbol;  // "Time" for the time
  std::string name;    // as the output file's header holds it
  std::string unit;    // the model's time unit for the time
};

// Which names a resolution accepts.
enum class OutputNames {
  kAll,     // every column, in all the forms above
  kStates,  // states only
};

// A name that picks no column, or more than one. The message quotes the name
// and says what was expected; callers put their option or context before it.
class OutputNameError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The number of columns of an output record: 1 + drivers + states + the
// processes after the derivatives.
int output_column_count(const TModelDef& info);

// The column at a position, 0 <= column < output_column_count.
OutputColumn output_column(const Model& model, int column);

// The name that picks the column alone in any resolution: Time, or
// TABLE:SYMBOL when no other entry of its table has the symbol, else TABLE#N.
std::string qualified_output_name(const Model& model, const OutputColumn& column);

// The forms a name may take, for messages: "a symbol (LAI), driver:SYMBOL, ...".
std::string output_name_forms(OutputNames accepted);

// The column `text` names. Throws OutputNameError:
//   unknown output variable "NoSuch": expected a symbol (LAI), ...
//   unknown output variable "state:LAI": no state has the symbol "LAI"
//   unknown output variable "process#5": process#N takes a whole number N from 56 to 189 ...
//   ambiguous output variable "Ts": it names driver:Ts, process:Ts; name one of them
// (with kStates, "unknown state ..." and "ambiguous state ...").
OutputColumn resolve_output_name(const Model& model, std::string_view text,
                                 OutputNames accepted = OutputNames::kAll);

// The columns a comma-separated list names, in the order given; blanks around
// each name go, and with kAll the groups drivers, states and processes stand
// for every column of their table. An empty name (",," or a comma at an end)
// is refused, and so is a column named twice (by two names or by a name and a
// group): the list is the order of columns a caller writes, and a repeated
// column is most likely a mistake.
std::vector<OutputColumn> resolve_output_list(const Model& model, std::string_view list,
                                              OutputNames accepted = OutputNames::kAll);

}  // namespace vindrel
