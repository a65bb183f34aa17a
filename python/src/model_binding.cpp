// vindrel._vindrel.Model: a model's tables and the files it came from, with
// the values of its states and parameters read and set by position.
#include <pybind11/stl.h>

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

}  // namespace

void bind_model(py::module_& module) {
  py::class_<ModelHandle>(module, "Model")
      .def_static("from_files", &from_files, py::arg("parameter_file"), py::arg("driver_file"),
                  py::call_guard<py::gil_scoped_release>())
      .def("copy", [](const ModelHandle& self) { return ModelHandle(self); })
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
              return resolve_entry_name(self.model, name,
                                        t == Table::kState ? EntryTables::kStates
                                                           : EntryTables::kParameters)
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
