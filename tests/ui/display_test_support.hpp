// Small output files for the output display's tests, written with the core's
// own writer: every column of record k holds a value the test can predict.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/model.hpp"
#include "fileio/output_file.hpp"

namespace vindrel::ui::testing {

// Output column c (0 = time) of a model's record: a driver, state or process value.
inline double& output_value(Model& model, int column) {
  const TModelDef& info = model.ModelInfo;
  if (column <= info.DriverCount) return model.drivers[column].value;
  column -= info.DriverCount;
  if (column <= info.StateCount) return model.states[column].value;
  return model.processes[column].value;  // after the states: processes StateCount+1..
}

// Writes one record per time; `fill(model, record)` sets the values first.
inline void write_output_file(const QString& file_name, const std::vector<double>& times,
                              const std::function<void(Model&, std::size_t)>& fill) {
  Model model = make_model();
  OutputFileWriter writer;
  writer.open(file_name.toStdString(), model);
  for (std::size_t k = 0; k < times.size(); ++k) {
    fill(model, k);
    writer.write_record(model, times[k]);
  }
  writer.close();
}

}  // namespace vindrel::ui::testing
