// A run asked for from Python: its options prepared as every front end
// prepares them (check/run_preparation.hpp), with the names Python spells.
#pragma once

#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

#include "bindings.hpp"
#include "check/run_preparation.hpp"

namespace vindrel::python {

// Everything a run needs beside the model.
struct RunRequest {
  PreparedRun prepared;
  std::vector<std::string> column_keys;  // the record columns kept, the time first
};

// Each finding as Python takes it: (level, file, line, text, the text as the
// command line prints it).
using FindingTuple = std::tuple<std::string, std::string, std::size_t, std::string, std::string>;
std::vector<FindingTuple> finding_tuples(const std::vector<Finding>& findings);

// Prepares a run of `model` with the options. A usage mistake raises
// ValueError, or KeyError for a name that picks nothing (with close matches);
// the findings are the caller's to raise or warn of. With `check_files`
// false, only the options are checked.
RunRequest make_run_request(const ModelHandle& model, const RunOptions& options,
                            bool check_files = true);

}  // namespace vindrel::python
