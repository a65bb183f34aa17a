#include "app/cli/findings_report.hpp"

#include <CLI/CLI.hpp>
#include <cstdio>

namespace vindrel::cli {

void report_findings(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    std::fprintf(stderr, "vindrel-cli: %s: %s\n",
                 finding.level == FindingLevel::kRefusal ? "error" : "warning",
                 finding_text(finding).c_str());
  }
  if (any_refusal(findings)) throw CLI::RuntimeError(1);
}

}  // namespace vindrel::cli
