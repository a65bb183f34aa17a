// Output files read into numpy arrays: the records of a run made elsewhere,
// in any of the three formats, in the same columns as a run's records in
// memory.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <vector>

#include "bindings.hpp"
#include "fileio/column_labels.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/output_file.hpp"
#include "record_columns.hpp"

namespace vindrel::python {
namespace {

// The format's name, the names of every record column as Python and as the
// CSV and NetCDF files name them, and the records: rows of the whole record,
// NaN in the columns that the file does not hold.
py::tuple read_output_file(const std::string& file_name) {
  const Model model = make_model();
  auto values = std::make_unique<std::vector<double>>();
  const std::size_t width = output_columns(model.ModelInfo);
  OutputFormat format = OutputFormat::kOut;
  {
    py::gil_scoped_release release;
    format = output_format_of_file(file_name);
    std::vector<double>& rows = *values;
    read_output_records(file_name, model, {}, "the records", [&rows, width](const double* row) {
      rows.insert(rows.end(), row, row + width);
    });
  }
  std::vector<std::string> file_names;
  for (const ColumnLabel& label : output_column_labels(model)) file_names.push_back(label.name);
  const auto rows = static_cast<py::ssize_t>(values->size() / width);
  double* data = values->data();
  py::capsule owner(values.release(), [](void* p) { delete static_cast<std::vector<double>*>(p); });
  py::array_t<double> array(
      {rows, static_cast<py::ssize_t>(width)},
      {static_cast<py::ssize_t>(width * sizeof(double)), static_cast<py::ssize_t>(sizeof(double))},
      data, owner);
  return py::make_tuple(std::string(output_format_name(format)), record_column_keys(model),
                        file_names, array);
}

}  // namespace

void bind_output(py::module_& module) {
  module.def("read_output_file", &read_output_file, py::arg("path"));
  module.def("record_column_keys",
             [](const ModelHandle& handle) { return record_column_keys(handle.model); });
}

}  // namespace vindrel::python
