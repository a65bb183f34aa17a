// What a run of a model's files and settings would refuse or warn about,
// from the findings library that the command line's check and run use.
#include <pybind11/stl.h>

#include <string>
#include <tuple>
#include <vector>

#include "bindings.hpp"
#include "check/findings.hpp"
#include "run_request.hpp"

namespace vindrel::python {

void bind_check(py::module_& module) {
  // Each finding as (level, file, line, text, the text as the command line
  // prints it).
  module.def("findings", [](const ModelHandle& handle, const RunRequest& request) {
    Model model = handle.model;
    for (int p : request.hold) model.states[p].HoldConstant = true;
    for (int p : request.reset) model.states[p].Reset = true;
    std::vector<std::tuple<std::string, std::string, std::size_t, std::string, std::string>> list;
    for (const Finding& finding : check_run_inputs(model, request.settings)) {
      list.emplace_back(finding.level == FindingLevel::kRefusal ? "refusal" : "warning",
                        finding.file, finding.line, finding.text, finding_text(finding));
    }
    return list;
  });
}

}  // namespace vindrel::python
