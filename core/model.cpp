#include "core/model.hpp"

#include <cstddef>
#include <iterator>

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
  std::uint8_t family;
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
#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) \
  {symbol, name, units, family, parameters},
#include "core/model_definition.def"
#undef VINDREL_PROCESS
};

constexpr NamedEntry kParameters[] = {
#define VINDREL_PARAMETER(id, symbol, name, units) {symbol, name, units},
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
};

// Every table has room for the model's entries.
static_assert(state::kCount <= kStateCapacity);
static_assert(driver::kCount <= kDriverCapacity);
static_assert(process::kCount <= kProcessCapacity);
static_assert(parameter::kCount <= kParameterCapacity);

static_assert(std::size(kProcesses) == process::kOwnCount);
static_assert(std::size(kParameters) == parameter::kCount);

// The parameter list with its headings: a heading is the position of the
// process it names, a parameter is 0.
constexpr int kParameterList[] = {
#define VINDREL_PARAMETERS_OF(process_id) process::process_id,
#define VINDREL_PARAMETER(id, symbol, name, units) 0,
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
#undef VINDREL_PARAMETERS_OF
};

// The parameter counts of the processes add up to the number of parameters.
constexpr bool parameter_counts_add_up() {
  int sum = 0;
  for (const ProcessEntry& entry : kProcesses) {
    if (entry.parameters < 0) return false;
    sum += entry.parameters;
  }
  return sum == parameter::kCount;
}
static_assert(parameter_counts_add_up(),
              "the parameter counts of the processes must add up to the number of parameters");

// Walking the processes in table order and giving each its count of the next
// parameters hands every parameter to the process whose heading it stands
// under: the parameter editor and FirstParamIndex find a process's parameters
// where the list puts them.
constexpr bool parameters_follow_processes() {
  std::size_t at = 0;
  for (int k = 0; k < process::kOwnCount; ++k) {
    const int count = kProcesses[k].parameters;
    if (count == 0) continue;
    if (at >= std::size(kParameterList) || kParameterList[at] != process::kFirst + 1 + k) {
      return false;
    }
    ++at;
    for (int j = 0; j < count; ++j, ++at) {
      if (at >= std::size(kParameterList) || kParameterList[at] != 0) return false;
    }
  }
  return at == std::size(kParameterList);
}
static_assert(parameters_follow_processes(),
              "each process's parameters must stand together under its heading, with as many "
              "as its parameter count, in the order of the processes");

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

void define_model(Model& model) {
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
    process.family = entry.family;
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

Model make_model() {
  Model model;
  define_model(model);
  return model;
}

}  // namespace vindrel
