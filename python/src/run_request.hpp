// A run asked for from Python: its keyword arguments checked with the rules of
// the command line's run, and turned into the run's settings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "bindings.hpp"
#include "run/run_settings.hpp"

namespace vindrel::python {

// The keyword arguments of Model.run, as given (times in days).
struct RunOptions {
  double start = 1.0;
  double stop = 10980.0;
  double step = 1.0;
  std::optional<double> output_step;
  std::optional<long long> repeat_drivers;
  std::optional<long long> reset_every;
  std::string reset;  // states, by symbol or position, separated by commas
  std::string hold;
  std::string integrator = "rk4";
  std::optional<double> rtol;  // the embedded pairs' default (RunSettings) when not given
  // Output variables separated by commas (names, or the groups drivers,
  // states, processes); the whole record when absent.
  std::optional<std::string> variables;
};

// Everything a run needs beside the model.
struct RunRequest {
  RunSettings settings;
  std::vector<int> reset;  // state positions, 1-based
  std::vector<int> hold;
  // The record columns kept, in the order asked for (0 is the time); all
  // when empty.
  std::vector<std::size_t> columns;
  std::vector<std::string> column_keys;  // their names, the time first
  // What the command line prints as warnings before it runs.
  std::vector<std::string> warnings;
};

// Checks the options as `vindrel-cli run` checks its own (the messages name
// the keyword arguments) and, with `read_drivers`, reads the driver records
// the run will look up. Throws ValueError for an option out of its range,
// KeyError for an unknown variable, EInOutError for a bad driver file.
RunRequest make_run_request(const ModelHandle& model, const RunOptions& options,
                            bool read_drivers = true);

}  // namespace vindrel::python
