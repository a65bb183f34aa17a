// The text of a failed run's details: when and where it stopped.
#include <string>

#include "fileio/number_format.hpp"
#include "run/run.hpp"

namespace vindrel {
namespace {

std::string day_text(double value) {
  char text[kMaxGeneralLength];
  return std::string(text, format_general(text, value, 15));
}

std::string records_text(std::int64_t records) {
  return std::to_string(records) + (records == 1 ? " record" : " records");
}

}  // namespace

std::string failure_detail_text(const RunResult& result) {
  if (result.outcome != RunOutcome::kFailed) return {};
  const RunFailureDetail& d = result.failure_detail;
  std::string text;
  // A file's failure names the file and the line; it needs nothing more.
  if (d.place == RunFailurePlace::kPreparation || d.place == RunFailurePlace::kDrivers ||
      d.place == RunFailurePlace::kOutput) {
    return {};
  }
  if (d.place == RunFailurePlace::kStartTime) {
    text += "  in the evaluation at the start time, " + day_text(d.failed_step_start) +
            ", before the first step; no record was written\n";
  } else {
    text += d.place == RunFailurePlace::kIntegration
                ? "  in the step from "
                : "  in the end-of-step evaluation of the step from ";
    text += day_text(d.failed_step_start) + " to " + day_text(d.failed_step_start + d.time_step) +
            " (time step " + day_text(d.time_step) + ")";
    if (d.driver_time != d.failed_step_start) {
      text += ", with the drivers of day " + day_text(d.driver_time);
    }
    text += "\n  the run reached model time " + day_text(d.time_reached) + "; the output holds " +
            records_text(d.records_kept) + "\n";
  }
  if (!d.equation_group.empty()) {
    text += "  the equation group where it arose: " + d.equation_group + "\n";
  }
  if (d.step_growth_limited) {
    text +=
        "  no state limited the step: it could grow only fourfold a step from a step too short, "
        "such as the sliver that ended the last time step\n";
  }
  const int state = d.limiting_state;
  if (state >= 1 && state <= result.model.ModelInfo.StateCount) {
    const Tstatevariable& s = result.model.states[state];
    text += "  the state that limited the step: " + s.symbol + " (state " + std::to_string(state) +
            ", " + s.name + ")\n";
  }
  return text;
}

}  // namespace vindrel
