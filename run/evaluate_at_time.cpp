#include "run/evaluate_at_time.hpp"

#include <string>

#include "core/exceptions.hpp"
#include "equations/equations.hpp"
#include "fileio/driver_file.hpp"

namespace vindrel {

void evaluate_at_time(Model& model, const RunSettings& settings) {
  DriverLookup lookup;
  if (!lookup.open(settings.driver_file, model)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), settings.driver_file);
  }
  // A one-off lookup: from the first record up to the calculation time.
  lookup.rewind();
  lookup.GetDrivers(model.drivers, settings.calculation_time, settings.stop_time);
  lookup.close();
  const EvaluationClock clock{settings.time_step, settings.start_time};
  EvaluateEquations(model, clock, model.states, settings.calculation_time, model.processes, false);
}

}  // namespace vindrel
