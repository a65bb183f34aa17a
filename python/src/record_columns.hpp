// The columns of an output record as Python names them: the time, the
// drivers, the states and the processes after the derivatives, each by its
// symbol where the symbol names it alone, else by the name that does
// ("driver:Ts", "process:Ts", "process#99"): every name is one that
// Model.run(variables=...) takes back.
#pragma once

#include <string>
#include <vector>

#include "core/model.hpp"

namespace vindrel::python {

std::vector<std::string> record_column_keys(const Model& model);

}  // namespace vindrel::python
