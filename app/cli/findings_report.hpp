// The findings about a run's inputs as vindrel-cli reports them.
#pragma once

#include <vector>

#include "check/findings.hpp"

namespace vindrel::cli {

// Prints each finding on standard error, "vindrel-cli: warning: FILE:LINE:
// ..." or "vindrel-cli: error: FILE:LINE: ..."; after them, when one is a
// refusal, throws CLI::RuntimeError(1) so that nothing is run or written.
void report_findings(const std::vector<Finding>& findings);

}  // namespace vindrel::cli
