// Output files read into numpy arrays: the records of a run made elsewhere,
// in the same columns as a run's records in memory.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <vector>

#include "bindings.hpp"
#include "fileio/output_file.hpp"
#include "record_columns.hpp"

namespace vindrel::python {
namespace {

// The column names and the records (rows of the time, the drivers, the states
// and the processes) of an output file of this model.
py::tuple read_output_file(const std::string& file_name) {
  const Model model = MakeModel();
  auto values = std::make_unique<std::vector<double>>();
  const std::size_t width = output_columns(model.ModelInfo);
  {
    py::gil_scoped_release release;
    OutputFileReader reader;
    reader.open(file_name);
    std::vector<double> row(width);
    while (reader.read_record(row.data(), model))
      values->insert(values->end(), row.begin(), row.end());
    reader.close();
  }
  const auto rows = static_cast<py::ssize_t>(values->size() / width);
  double* data = values->data();
  py::capsule owner(values.release(), [](void* p) { delete static_cast<std::vector<double>*>(p); });
  py::array_t<double> array(
      {rows, static_cast<py::ssize_t>(width)},
      {static_cast<py::ssize_t>(width * sizeof(double)), static_cast<py::ssize_t>(sizeof(double))},
      data, owner);
  return py::make_tuple(record_column_keys(model), array);
}

}  // namespace

void bind_output(py::module_& module) {
  module.def("read_output_file", &read_output_file, py::arg("path"));
  module.def("record_column_keys",
             [](const ModelHandle& handle) { return record_column_keys(handle.model); });
}

}  // namespace vindrel::python
