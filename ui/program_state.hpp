// The program-wide state of the desktop program: the one model every window
// works on in place, the run settings with the three file names, the main
// window's flags, and what the last run left (present time, initial states).
// The main window owns one ProgramState and hands it to every window it makes.
//
// Every change of the settings, the flags and the last run's end goes through
// the setters below, which emit changed() when a value really changed; the
// windows are views that refresh on that signal. The model's tables are edited
// in place by the editors, which say so through the flags.
#pragma once

#include <QObject>
#include <string>
#include <type_traits>
#include <vector>

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

class ProgramState : public QObject {
  Q_OBJECT

 public:
  explicit ProgramState(QObject* parent = nullptr) : QObject(parent) {}

  Model model = make_model();

  // Read-only views of the values the setters own.
  const RunSettings& settings = settings_;
  const MainFlags& flags = flags_;
  const double& present_time = present_time_;  // the model time the last run reached, days
  // The whole state table as it was when the last run started.
  const statearray& initial_states = initial_states_;

  // One setting or flag; changed() when it differs from the value held.
  template <class T>
  void set(T RunSettings::*setting, const std::type_identity_t<T>& value) {
    assign(settings_.*setting, value);
  }
  void set(bool MainFlags::*flag, bool value) { assign(flags_.*flag, value); }

  void set_parameter_file(const std::string& name) { set(&RunSettings::parameter_file, name); }
  void set_driver_file(const std::string& name) { set(&RunSettings::driver_file, name); }
  void set_output_file(const std::string& name) { set(&RunSettings::output_file, name); }
  // The output shown and the Run button's readiness no longer hold: a file,
  // a time or the run type has changed.
  void invalidate_run() {
    const Batch batch(*this);
    set(&MainFlags::run_ready, false);
    set(&MainFlags::output_available, false);
  }
  // A run has ended at `present_time` from `initial_states`; the model's
  // states are now the run's end states.
  void set_run_end(double present_time, const statearray& initial_states);

  // Where the model's state values came from: the parameter file, the end of
  // the last run (which the next run continues from) or the state table.
  enum class StatesFrom { kFile, kRun, kEdited };
  // The model's state values are those of the parameter file (read, reloaded
  // or written).
  void states_match_file();
  // The state table's values were edited.
  void states_edited() { states_from_ = StatesFrom::kEdited; }
  // The file's initial state values, as last read or written; empty before
  // a parameter file was read.
  const std::vector<double>& file_states() const noexcept { return file_states_; }
  // kFile while the model's state values equal the file's.
  StatesFrom states_from() const;

  // Changes made while a Batch lives emit one changed() when the outermost
  // one ends, so that the views refresh once for a change of several values.
  class Batch {
   public:
    explicit Batch(ProgramState& state) : state_(state) { ++state_.batch_depth_; }
    ~Batch() { state_.end_batch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    ProgramState& state_;
  };

 signals:
  void changed();

 private:
  template <class T>
  void assign(T& held, const T& value) {
    if (held == value) return;
    held = value;
    notify();
  }
  void notify();
  void end_batch();

  RunSettings settings_;
  MainFlags flags_;
  double present_time_ = 0.0;
  std::vector<double> file_states_;
  StatesFrom states_from_ = StatesFrom::kFile;
  statearray initial_states_{};
  int batch_depth_ = 0;
  bool changed_in_batch_ = false;
};

}  // namespace vindrel::ui
