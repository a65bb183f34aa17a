#include "run/record_sink.hpp"

namespace vindrel {

void OutputFileSink::begin(const Model& model) { writer_.open(file_name_, model); }

void OutputFileSink::record(const Model& model, double time) { writer_.write_record(model, time); }

void OutputFileSink::end() { writer_.close(); }

void OutputTable::begin(const Model& model) {
  columns_ = output_columns(model.ModelInfo);
  values_.clear();
}

void OutputTable::record(const Model& model, double time) {
  const TModelDef& info = model.ModelInfo;
  values_.push_back(time);
  for (std::int32_t i = 1; i <= info.DriverCount; ++i) values_.push_back(model.drivers[i].value);
  for (std::int32_t i = 1; i <= info.StateCount; ++i) values_.push_back(model.states[i].value);
  for (std::int32_t i = info.StateCount + 1; i <= info.ProcessCount; ++i) {
    values_.push_back(model.processes[i].value);
  }
}

}  // namespace vindrel
