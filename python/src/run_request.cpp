#include "run_request.hpp"

#include <pybind11/stl.h>

#include "record_columns.hpp"

namespace vindrel::python {
namespace {

// Names like `name` among the record's columns, for a message: "; close
// matches: LAI, ..." or "".
std::string close_matches(const Model& model, const std::string& name) {
  const py::object close = py::module_::import("difflib").attr("get_close_matches")(
      name, record_column_keys(model), 5, 0.6);
  std::string text;
  for (const auto& match : close.cast<std::vector<std::string>>()) {
    text += (text.empty() ? "; close matches: " : ", ") + match;
  }
  return text;
}

[[noreturn]] void raise_mistake(const Model& model, const Finding& mistake) {
  if (!mistake.unknown_name) throw py::value_error(mistake.text);
  std::string message = mistake.text;
  // The unknown name is the first quoted one.
  const auto open = message.find('"');
  const auto close = open == std::string::npos ? open : message.find('"', open + 1);
  if (message.find(": unknown") != std::string::npos && close != std::string::npos) {
    message += close_matches(model, message.substr(open + 1, close - open - 1));
  }
  throw py::key_error(message);
}

}  // namespace

std::vector<FindingTuple> finding_tuples(const std::vector<Finding>& findings) {
  std::vector<FindingTuple> list;
  for (const Finding& finding : findings) {
    list.emplace_back(finding.level == FindingLevel::kRefusal ? "refusal" : "warning", finding.file,
                      finding.line, finding.text, finding_text(finding));
  }
  return list;
}

RunRequest make_run_request(const ModelHandle& handle, const RunOptions& options,
                            bool check_files) {
  RunRequest request;
  RunInputs inputs{handle.model, handle.parameter_file, handle.driver_file, check_files};
  inputs.states_saved_at = handle.end_time;
  inputs.series_start = handle.first_start;
  request.prepared = prepare_run(inputs, options, kPythonSpelling);
  if (const Finding* mistake = request.prepared.usage_mistake()) {
    raise_mistake(handle.model, *mistake);
  }
  if (!request.prepared.columns.empty()) {
    const std::vector<std::string> keys = record_column_keys(handle.model);
    request.column_keys.push_back(keys[0]);
    for (const std::size_t c : request.prepared.columns) request.column_keys.push_back(keys[c]);
  }
  return request;
}

}  // namespace vindrel::python
