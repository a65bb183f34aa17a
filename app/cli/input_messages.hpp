// Messages of vindrel-cli for inputs it refuses: each names the file (or the
// option), the line where it applies, and what was expected there.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/model.hpp"

namespace vindrel::cli {

// For a parameter file that ReadParamFile refused: "FILE:1: The parameter file
// selected is not compatible with this model. No parameters read. Expected ...
// on line 1, found "..."".
std::string incompatible_param_file_message(const std::string& file_name, const TModelDef& info);

// A mistake in the command line that the command's own checks find (a value
// an option cannot take, an option missing): main() prints it like every
// error and exits with 2, as for the mistakes the parser finds.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The exit statuses of vindrel-cli: 0 done, 1 refused or failed, 2 a mistake
// in the command line (whoever finds it), 3 for `check` when it finds
// warnings only (and for `study run` when some runs failed), 130, 143 and 129
// after Ctrl-C, SIGTERM and SIGHUP.
inline constexpr int kCheckRefused = 1;
inline constexpr int kUsageMistake = 2;
inline constexpr int kCheckWarnings = 3;

// Refuses a time option that is not a finite number ("--stop: expected a finite
// number of days, found inf") with a UsageError.
void require_finite(double value, std::string_view option);

}  // namespace vindrel::cli
