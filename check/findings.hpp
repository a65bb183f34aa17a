// Findings about a run before it starts: what in its parameter file, its
// driver file and its settings would make the result plainly wrong (a
// refusal), or may make it other than the modeller expects (a warning).
// The command line's check, run and study run, the desktop and the Python
// module all take their findings from here, so they say the same things.
//
// The model's own rules stay as they are (values matched by position, a
// driver record read as a run of numbers, the annual reset at the start, the
// repeat of the drivers from the start time); the findings only say where
// those rules give something the files do not seem to mean.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

enum class FindingLevel {
  kRefusal,  // the run would be plainly wrong: it is not made
  kWarning,  // the run is made as the model's rules say; this may not be meant
};

struct Finding {
  FindingLevel level = FindingLevel::kWarning;
  std::string file;      // the file it is about; "" for the settings
  std::size_t line = 0;  // 1-based line in the file; 0 for none
  std::string text;
  // A refusal of an option's value: a mistake in how the run was asked for,
  // not in its files. `unknown_name` when the value names nothing the model
  // has (or several things).
  bool usage = false;
  bool unknown_name = false;
};

// "FILE:LINE: text", "FILE: text" or "text".
std::string finding_text(const Finding& finding);

// True when a finding is a refusal.
bool any_refusal(const std::vector<Finding>& findings);

// The settings, with the states the run starts from: a start at or after
// the repeat time of the drivers or a first start time that does not fit
// (refused), a start in mid-year from states with a day of the year (Jday),
// a continuation whose start is not on the day of the year its states were
// saved at, output too sparse for the annual summary's sums.
std::vector<Finding> settings_findings(const Model& model, const RunSettings& settings);

// The driver file (settings.driver_file), in the part a run uses: record
// times that go backwards (refused), a first record after the run's start,
// drivers that end before the run does, values no weather has, and records
// whose numbers run over into the next line. A file that cannot be read is a
// refusal with its own message.
std::vector<Finding> driver_file_findings(const Model& model, const RunSettings& settings);

// The driver file as an evaluation of the processes at settings.calculation_time
// reads it: records out of order up to that time (refused), a first record
// after it, an end before it, and values no weather has in the records used.
std::vector<Finding> evaluation_driver_findings(const Model& model, const RunSettings& settings);

// The parameter file and the values the run starts from: lines whose name is
// not the model's for their position (values are matched by position), and
// among `model`'s values (as read from the file, and perhaps changed since)
// those that are not finite numbers, pools that cannot be negative but are,
// and values larger in size than any quantity of a stand. A value still as
// the file gives it is named with the file's line; one changed since, without
// a file. With no file name, only the values. A file that cannot be read is a
// refusal with its own message.
std::vector<Finding> param_file_findings(const std::string& file_name, const Model& model);

// All of the above for a run: the parameter file (settings.parameter_file)
// and the values of `model`, the settings with its states, and the driver
// file.
std::vector<Finding> check_run_inputs(const Model& model, const RunSettings& settings);

// For a run that failed on a value that is not a finite number: the lines of
// the files it came from ("  from FILE:LINE: parameter 37 (WP) is +Inf"), one
// per line, each indented by two blanks; "" when the failure has no such
// cause or the value came from no file. `model` holds the values the run
// started from.
std::string failure_cause_text(const RunFailureDetail& detail, const Model& model,
                               const RunSettings& settings);

}  // namespace vindrel
