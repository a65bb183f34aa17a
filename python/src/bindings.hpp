// The parts of the extension module _vindrel, each adding its classes and
// functions to the module. The package around it (python/vindrel) gives them
// their Python shape: views, data frames and exceptions.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "core/model.hpp"

namespace vindrel::python {

namespace py = pybind11;

// A model as Python holds it: the tables with their values and flags, and the
// files it came from. Runs work on copies of it.
struct ModelHandle {
  Model model;
  std::string parameter_file;
  std::string driver_file;
  // For the model a run ended with: the time its states are at, and the start
  // of the series of runs they come from.
  std::optional<double> end_time{};
  std::optional<double> first_start{};
};

void bind_model(py::module_& module);
void bind_run(py::module_& module);
void bind_output(py::module_& module);
void bind_spinup(py::module_& module);

}  // namespace vindrel::python
