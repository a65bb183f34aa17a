// The process values at one time: what the parameter editor shows and what
// `vindrel-cli eval` prints. The drivers are looked up in the driver file at
// the calculation time, then the equations are evaluated once on the model's
// states, without the end-of-step updates.
#pragma once

#include "core/model.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

// Evaluates the processes of `model` at settings.calculation_time with the
// drivers of settings.driver_file: sets the `value` fields of the model's
// drivers and processes (and whatever the equations write into the states).
// The evaluation belongs to a run from settings.start_time with steps of
// settings.time_step. Throws EInOutError with kDriverFileMissingMessage and
// the file name when the driver file does not exist, the driver lookup's
// EInOutError for a driver file it cannot read, and the equations' arithmetic
// faults (EZeroDivide, EInvalidOp). After a failed lookup the tables are as
// they were.
void evaluate_at_time(Model& model, const RunSettings& settings);

}  // namespace vindrel
