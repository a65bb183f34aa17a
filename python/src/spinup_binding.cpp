// Spin-up from Python: the periodic steady state of a model on its repeated
// weather (run/spinup.hpp), with the interpreter's lock released.
#include <pybind11/stl.h>

#include <string>
#include <tuple>
#include <vector>

#include "bindings.hpp"
#include "run/spinup.hpp"
#include "run_request.hpp"

namespace vindrel::python {
namespace {

std::string outcome_name(SpinupOutcome outcome) {
  switch (outcome) {
    case SpinupOutcome::kSettled:
      return "settled";
    case SpinupOutcome::kNotSettled:
      return "not settled";
    case SpinupOutcome::kFailed:
      return "failed";
    case SpinupOutcome::kDiedOut:
      return "died out";
    case SpinupOutcome::kCancelled:
      break;
  }
  return "cancelled";
}

py::tuple spin_up_model(const ModelHandle& handle, const RunRequest& request, double tolerance,
                        double max_years) {
  SpinupOptions options;
  options.tolerance = tolerance;
  options.max_years = max_years;
  Model model = handle.model;
  request.prepared.mark_states(model);
  SpinupResult result;
  {
    py::gil_scoped_release release;
    result = spin_up(model, request.prepared.settings, options);
  }
  ModelHandle spun{result.model, handle.parameter_file, handle.driver_file, result.time,
                   result.first_start};
  std::vector<std::tuple<int, double, bool, double, double, double>> iterations;
  for (const SpinupIteration& it : result.iterations) {
    iterations.emplace_back(it.cycle, it.simulated_years, it.accelerated, it.drift.carbon,
                            it.drift.nitrogen, it.drift.water);
  }
  return py::make_tuple(
      outcome_name(result.outcome), spun,
      py::make_tuple(result.drift.carbon, result.drift.nitrogen, result.drift.water),
      result.simulated_years, iterations, result.failure);
}

}  // namespace

void bind_spinup(py::module_& module) {
  module.def("spin_up", &spin_up_model, py::arg("model"), py::arg("request"), py::arg("tolerance"),
             py::arg("max_years"));
}

}  // namespace vindrel::python
