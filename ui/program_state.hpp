// The program-wide state of the desktop program: the one model every window
// works on in place, the run settings with the three file names, the main
// window's flags, and what the last run left (present time, initial states).
// The main window owns one ProgramState and hands it to every window it makes.
#pragma once

#include "core/model.hpp"
#include "run/run_settings.hpp"

namespace vindrel::ui {

struct MainFlags {
  // The last refresh found the three file boxes filled and stop > start, and
  // enabled Run; while true, refreshes leave the boxes alone.
  bool run_ready = false;
  // A run has finished or an output file was chosen for viewing; enables the
  // output display.
  bool output_available = false;
  // Parameter or state values (or state flags) were edited since the parameter
  // file was last read or written.
  bool parameters_modified = false;
  // The parameter file / driver file was created by this program from a name
  // that did not exist.
  bool parameter_file_new = false;
  bool driver_file_new = false;
};

struct ProgramState {
  Model model = MakeModel();
  // Times, steps, options, unattended modes and the three file names.
  RunSettings settings;
  MainFlags flags;
  double present_time = 0.0;  // the model time the last run reached, days
  // The whole state table as it was when the last run started.
  statearray initial_states{};
};

}  // namespace vindrel::ui
