// vindrel._vindrel.Model: a model's tables and the files it came from, with
// the values of its states and parameters read and set by position.
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "bindings.hpp"
#include "core/entry_names.hpp"
#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/param_file.hpp"

namespace vindrel::python {
namespace {

enum class Table { kState, kParameter, kDriver, kProcess };

Table table_of(const std::string& name) {
  if (name == "state") return Table::kState;
  if (name == "parameter") return Table::kParameter;
  if (name == "driver") return Table::kDriver;
  if (name == "process") return Table::kProcess;
  throw py::value_error("no table \"" + name + "\"");
}

int table_count(const Model& model, Table table) {
  switch (table) {
    case Table::kState:
      return model.ModelInfo.StateCount;
    case Table::kParameter:
      return model.ModelInfo.ParameterCount;
    case Table::kDriver:
      return model.ModelInfo.DriverCount;
    case Table::kProcess:
      return model.ModelInfo.ProcessCount;
  }
  return 0;
}

// Calls `use` with the table's rows (states, parameters, drivers or processes).
template <typename ModelType, typename Use>
decltype(auto) with_rows(ModelType& model, Table table, Use&& use) {
  switch (table) {
    case Table::kState:
      return use(model.states);
    case Table::kParameter:
      return use(model.parameters);
    case Table::kDriver:
      return use(model.drivers);
    case Table::kProcess:
      break;
  }
  return use(model.processes);
}

// The entry's value field; positions are 1-based as in the model's tables.
double& value_at(Model& model, Table table, int position) {
  if (position < 1 || position > table_count(model, table)) {
    throw py::index_error("position " + std::to_string(position) + " is outside 1.." +
                          std::to_string(table_count(model, table)));
  }
  return with_rows(model, table, [&](auto& rows) -> double& { return rows[position].value; });
}

// Symbol, name and units of every entry of a table, in table order.
std::vector<std::tuple<std::string, std::string, std::string>> entries(const Model& model,
                                                                       Table table) {
  std::vector<std::tuple<std::string, std::string, std::string>> list;
  with_rows(model, table, [&](const auto& rows) {
    for (int i = 1; i <= table_count(model, table); ++i) {
      list.emplace_back(rows[i].symbol, rows[i].name, rows[i].units);
    }
  });
  return list;
}

// Reads the parameter file into a new model, and makes sure that the driver
// file opens and starts with a record, so that a wrong name is reported here
// rather than at the first run.
ModelHandle from_files(const std::string& parameter_file, const std::string& driver_file) {
  ModelHandle handle{make_model(), parameter_file, driver_file};
  if (!ReadParamFile(parameter_file, handle.model)) {
    throw EInOutError(std::string(kIncompatibleParamFileMessage) + " Expected the model name \"" +
                          handle.model.ModelInfo.ModelName + "\" and the version \"" +
                          handle.model.ModelInfo.ModelVersion + "\" on line 1.",
                      parameter_file, 1);
  }
  DriverFileReader reader;
  if (!reader.open(driver_file)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), driver_file);
  }
  return handle;
}

// What a model is beside its definition, as a picklable tuple: its files,
// where a run left it, and every value and flag of its tables.
constexpr int kPickleVersion = 1;

py::tuple model_state(const ModelHandle& self) {
  const Model& m = self.model;
  std::vector<double> states;
  std::vector<bool> hold;
  std::vector<bool> reset;
  for (int i = 1; i <= m.ModelInfo.StateCount; ++i) {
    states.push_back(m.states[i].value);
    hold.push_back(m.states[i].HoldConstant);
    reset.push_back(m.states[i].Reset);
  }
  std::vector<double> parameters;
  for (int i = 1; i <= m.ModelInfo.ParameterCount; ++i) parameters.push_back(m.parameters[i].value);
  std::vector<double> drivers;
  for (int i = 1; i <= m.ModelInfo.DriverCount; ++i) drivers.push_back(m.drivers[i].value);
  std::vector<double> processes;
  for (int i = 1; i <= m.ModelInfo.ProcessCount; ++i) processes.push_back(m.processes[i].value);
  return py::make_tuple(kPickleVersion, self.parameter_file, self.driver_file, self.end_time,
                        self.first_start, m.NewYear, states, hold, reset, parameters, drivers,
                        processes);
}

ModelHandle model_from_state(const py::tuple& state) {
  if (state.size() != 12 || state[0].cast<int>() != kPickleVersion) {
    throw py::value_error("not a pickled vindrel model of this version");
  }
  ModelHandle self{make_model(), state[1].cast<std::string>(), state[2].cast<std::string>(),
                   state[3].cast<std::optional<double>>(), state[4].cast<std::optional<double>>()};
  Model& m = self.model;
  m.NewYear = state[5].cast<bool>();
  const auto states = state[6].cast<std::vector<double>>();
  const auto hold = state[7].cast<std::vector<bool>>();
  const auto reset = state[8].cast<std::vector<bool>>();
  const auto parameters = state[9].cast<std::vector<double>>();
  const auto drivers = state[10].cast<std::vector<double>>();
  const auto processes = state[11].cast<std::vector<double>>();
  const auto count = [](const auto& list) { return static_cast<int>(list.size()); };
  if (count(states) != m.ModelInfo.StateCount || count(hold) != m.ModelInfo.StateCount ||
      count(reset) != m.ModelInfo.StateCount || count(parameters) != m.ModelInfo.ParameterCount ||
      count(drivers) != m.ModelInfo.DriverCount || count(processes) != m.ModelInfo.ProcessCount) {
    throw py::value_error("a pickled vindrel model with tables of other sizes");
  }
  for (int i = 1; i <= m.ModelInfo.StateCount; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    m.states[i].value = states[k];
    m.states[i].HoldConstant = hold[k];
    m.states[i].Reset = reset[k];
  }
  for (int i = 1; i <= m.ModelInfo.ParameterCount; ++i) {
    m.parameters[i].value = parameters[static_cast<std::size_t>(i - 1)];
  }
  for (int i = 1; i <= m.ModelInfo.DriverCount; ++i) {
    m.drivers[i].value = drivers[static_cast<std::size_t>(i - 1)];
  }
  for (int i = 1; i <= m.ModelInfo.ProcessCount; ++i) {
    m.processes[i].value = processes[static_cast<std::size_t>(i - 1)];
  }
  return self;
}

}  // namespace

void bind_model(py::module_& module) {
  py::class_<ModelHandle>(module, "Model")
      .def_static("from_files", &from_files, py::arg("parameter_file"), py::arg("driver_file"),
                  py::call_guard<py::gil_scoped_release>())
      .def("copy", [](const ModelHandle& self) { return ModelHandle(self); })
      .def(py::pickle(&model_state, &model_from_state))
      .def_readwrite("parameter_file", &ModelHandle::parameter_file)
      .def_readwrite("driver_file", &ModelHandle::driver_file)
      .def_readonly("end_time", &ModelHandle::end_time)
      .def_readonly("first_start", &ModelHandle::first_start)
      .def_property_readonly("model_name",
                             [](const ModelHandle& self) { return self.model.ModelInfo.ModelName; })
      .def_property_readonly(
          "model_version",
          [](const ModelHandle& self) { return self.model.ModelInfo.ModelVersion; })
      .def_property_readonly("time_unit",
                             [](const ModelHandle& self) { return self.model.ModelInfo.TimeUnit; })
      .def(
          "position",
          [](const ModelHandle& self, const std::string& table, const std::string& name) {
            const Table t = table_of(table);
            if (t != Table::kState && t != Table::kParameter) {
              throw py::value_error("only states and parameters are named here");
            }
            try {
              return resolve_entry_name(
                         self.model, name,
                         t == Table::kState ? EntryTables::kStates : EntryTables::kParameters)
                  .position;
            } catch (const EntryNameError& error) {
              throw py::key_error(error.what());
            }
          },
          py::arg("table"), py::arg("name"))
      .def("entries", [](const ModelHandle& self,
                         const std::string& table) { return entries(self.model, table_of(table)); })
      .def("get", [](ModelHandle& self, const std::string& table,
                     int position) { return value_at(self.model, table_of(table), position); })
      .def("set",
           [](ModelHandle& self, const std::string& table, int position, double value) {
             const Table t = table_of(table);
             if (t != Table::kState && t != Table::kParameter) {
               throw py::value_error("only states and parameters are set");
             }
             value_at(self.model, t, position) = value;
           })
      .def("values",
           [](ModelHandle& self, const std::string& table) {
             const Table t = table_of(table);
             std::vector<double> list;
             for (int i = 1; i <= table_count(self.model, t); ++i) {
               list.push_back(value_at(self.model, t, i));
             }
             return list;
           })
      .def(
          "save_par",
          [](const ModelHandle& self, const std::string& file_name) {
            WriteParamFile(file_name, self.model);
          },
          py::arg("path"));
}

}  // namespace vindrel::python
