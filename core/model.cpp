#include "core/model.hpp"

#include "core/positions.hpp"

namespace vindrel {
namespace {

struct NamedEntry {
  const char* symbol;
  const char* name;
  const char* units;
};

struct ProcessEntry {
  const char* symbol;
  const char* name;
  const char* units;
  std::uint8_t group;
  std::int32_t parameters;
};

constexpr NamedEntry kStates[] = {
#define VINDREL_STATE(id, symbol, name, units) {symbol, name, units},
#include "core/model_definition.def"
#undef VINDREL_STATE
};

constexpr NamedEntry kDrivers[] = {
#define VINDREL_DRIVER(id, symbol, name, units) {symbol, name, units},
#include "core/model_definition.def"
#undef VINDREL_DRIVER
};

constexpr ProcessEntry kProcesses[] = {
#define VINDREL_PROCESS(id, symbol, name, units, group, parameters) \
  {symbol, name, units, group, parameters},
#include "core/model_definition.def"
#undef VINDREL_PROCESS
};

constexpr NamedEntry kParameters[] = {
#define VINDREL_PARAMETER(id, symbol, name, units) {symbol, name, units},
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
};

template <typename Record>
void set_texts(Record& record, const NamedEntry& entry) {
  record.name = entry.name;
  record.units = entry.units;
  record.symbol = entry.symbol;
}

}  // namespace

std::int32_t FirstParamIndex(const Model& model, std::int32_t p) {
  const std::int32_t first_own = model.ModelInfo.StateCount + 1;
  if (p < first_own + 1) return 0;
  std::int32_t sum = 0;
  for (std::int32_t k = first_own; k <= p - 1; ++k) sum += model.processes[k].parameters;
  return sum;
}

void DefineModel(Model& model) {
  TModelDef& info = model.ModelInfo;
  info.ModelName = "Vindrel";
  info.ModelVersion = "6.4.1";
  info.TimeUnit = "days";

  info.StateCount = state::kCount;
  for (int i = 1; i <= info.StateCount; ++i) set_texts(model.states[i], kStates[i - 1]);

  info.ProcessCount = info.StateCount + process::kOwnCount;
  int next_parameter = 0;  // index into kParameters, in table order
  for (int k = 1; k <= process::kOwnCount; ++k) {
    const ProcessEntry& entry = kProcesses[k - 1];
    Tprocessvariable& process = model.processes[info.StateCount + k];
    process.name = entry.name;
    process.units = entry.units;
    process.symbol = entry.symbol;
    process.parameters = entry.parameters;
    process.group = entry.group;
    const std::int32_t first = FirstParamIndex(model, info.StateCount + k);
    for (std::int32_t j = 0; j < entry.parameters; ++j)
      set_texts(model.parameters[first + j + 1], kParameters[next_parameter++]);
  }

  info.DriverCount = driver::kCount;
  for (int i = 1; i <= info.DriverCount; ++i) set_texts(model.drivers[i], kDrivers[i - 1]);

  // The derivative of state i is process entry i; its texts are the state's,
  // with "d" before and "dt" after the name and symbol and "t-1" after the units.
  for (int i = 1; i <= info.StateCount; ++i)
    model.processes[i].name = "d" + model.states[i].name + "dt";
  for (int i = 1; i <= info.StateCount; ++i)
    model.processes[i].units = model.states[i].units + "t-1";
  for (int i = 1; i <= info.StateCount; ++i)
    model.processes[i].symbol = "d" + model.states[i].symbol + "dt";

  info.ParameterCount = 0;
  for (int p = 1; p <= info.ProcessCount; ++p) info.ParameterCount += model.processes[p].parameters;
}

Model MakeModel() {
  Model model;
  DefineModel(model);
  return model;
}

}  // namespace vindrel
