// The settings that a run reads: its times and steps, the two special options
// (repeated drivers, periodic reset of selected states), the calculation time
// of the parameter editor, and the two unattended modes. Also the output-step
// check with its corrections, which the desktop and the command line share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vindrel {

// The integrator a run advances its states with over each time step.
enum class IntegratorKind {
  kRk4,         // the model's own: fourth-order Runge-Kutta with step doubling
  kDopri5,      // Dormand-Prince 5(4) embedded pair (Boost.Odeint)
  kFehlberg78,  // Runge-Kutta-Fehlberg 7(8) embedded pair (Boost.Odeint)
};

struct RunSettings {
  double start_time = 1.0;        // first time of the run, days
  double stop_time = 2.0;         // last time that the run may reach, days
  double time_step = 1.0;         // one integrator call and one driver lookup, days
  double output_step = 1.0;       // between output records; a whole multiple of time_step
  double calculation_time = 1.0;  // where the parameter editor evaluates, days
  double tolerance = 1e-8;        // the model's integrator's, fixed
  IntegratorKind integrator = IntegratorKind::kRk4;
  // The embedded pairs' tolerance: each state's error per step against this
  // fraction of its size (run/embedded_integration.hpp). rk4 uses `tolerance`.
  // The default keeps dopri5's states at the end of every year of the example
  // stand's 30-year run within 1e-6 of a run at a tolerance 100 times tighter.
  double relative_tolerance = 5e-8;

  // Drivers start again from the start time once the driver time passes the
  // repeat time: the repeat time is a driver time, not a number of days (from
  // a start at 100, a repeat time of 366 repeats every 267 days).
  bool repeat_drivers = false;
  std::int32_t repeat_time = 0;  // days
  // Continuing a run (a spin-up saved with its states and taken up again): the
  // start time of the first run of the series. The driver time, the repeats
  // and the annual reset then go on as in one run from that time, while the
  // output's times go on from start_time. Unset: the run starts its own series.
  std::optional<double> first_start_time;
  // States marked Reset get their run-start values back after each time step
  // that begins within one time step after a multiple of the interval.
  bool reset_states = false;
  std::int32_t reset_interval = 0;  // days

  // Unattended modes: no progress, no error window, failures passed on.
  bool batch_mode = false;
  bool sensitivity_mode = false;

  std::string parameter_file;
  std::string driver_file;
  std::string output_file;

  bool unattended() const noexcept { return batch_mode || sensitivity_mode; }
};

// The integrator's name as the command line takes it: "rk4", "dopri5", "rkf78".
std::string_view integrator_name(IntegratorKind kind);
// The integrator of a name, if it names one.
std::optional<IntegratorKind> integrator_from_name(std::string_view name);
// The integrator and its tolerance for a user to read later: "rk4, tolerance
// 1E-8" (the model's fixed one) or "dopri5, rtol 1E-8".
std::string integrator_description(const RunSettings& settings);
// A tolerance as a user types it: the shortest text, with a small e ("1e-8",
// "5e-8").
std::string tolerance_text(double tolerance);

// Up to this size, in days, a double holds every whole day; beyond it a
// daily step no longer moves the time on, and runs are refused.
inline constexpr double kLargestRunTime = 9007199254740992.0;  // 2^53

// True when a time can be followed day by day: finite and within
// kLargestRunTime in size.
bool time_within_precision(double time);

// True when a time step changes the time at every time from `start` to
// `stop`: added to the larger of the two in size (the start alone for a run
// without an end), it gives another number.
bool step_advances_time(double start, double stop, double step);

// More steps than this are not followed one by one by the checks before a
// run (a billion daily steps are 2.7 million years).
inline constexpr double kMostCountedSteps = 1e9;

// True when a run's steps are few enough to be followed one by one.
bool steps_countable(const RunSettings& settings);

// Raises EOutputStepTooSmall, EOutputStepTooLarge or EOutputStepNotMultiple
// (tested in this order) when the output step does not fit the time step and
// the run length; returns normally when it fits. An output step within 0.001
// time steps of a whole multiple counts as a multiple.
void check_output_step(double output_step, double time_step, double start_time, double stop_time);
void check_output_step(const RunSettings& settings);

// The outcome of checking an output step and correcting it.
struct OutputStepCorrection {
  double output_step = 0.0;  // the value to use; the given one when it fitted
  // Empty when the value fitted; otherwise the text of the information box: the
  // check's message followed by the sentence that says what was done.
  std::string information;

  bool corrected() const noexcept { return !information.empty(); }
};

// Runs the check and, when it fails, corrects the output step: to the time
// step when it is smaller than the time step or not a multiple of it, to the
// run length when it is longer than the run. The corrected value is not
// checked again. Times that make no run (stop not after start) leave the
// output step as it is: such a run is refused, and a run length of 0 or less
// would make an output step that writes no record.
OutputStepCorrection correct_output_step(double output_step, double time_step, double start_time,
                                         double stop_time);
// The same on the settings' own output step, which takes the corrected value.
OutputStepCorrection correct_output_step(RunSettings& settings);

// The program's title: the file name of its path without the directory and
// without everything from its first dot ("/usr/bin/ModelBatch.exe" gives
// "ModelBatch").
std::string application_title(std::string_view program_path);

struct UnattendedModes {
  bool batch_mode = false;        // title "modelbatch", any letter case
  bool sensitivity_mode = false;  // title "sensitivity", any letter case
};

// The modes a program started as `program_path` (argv[0]) runs in.
UnattendedModes unattended_mode_from_program_name(std::string_view program_path);

}  // namespace vindrel
