// The columns of an output record as Python names them: the time, the
// drivers, the states and the processes after the derivatives, each by its
// symbol. A symbol that two tables share is qualified by its table
// ("driver:Ts", "process:Ts"); one that two entries of one table share is given
// by position ("process#120").
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/model.hpp"

namespace vindrel::python {

std::vector<std::string> record_column_keys(const Model& model);

}  // namespace vindrel::python
