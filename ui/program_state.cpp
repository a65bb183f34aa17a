#include "ui/program_state.hpp"

namespace vindrel::ui {

void ProgramState::set_run_end(double present_time, const statearray& initial_states) {
  // Every run's end is news to the views, whatever the values.
  present_time_ = present_time;
  initial_states_ = initial_states;
  notify();
}

void ProgramState::notify() {
  if (batch_depth_ > 0) {
    changed_in_batch_ = true;
    return;
  }
  emit changed();
}

void ProgramState::end_batch() {
  if (--batch_depth_ > 0 || !changed_in_batch_) return;
  changed_in_batch_ = false;
  emit changed();
}

}  // namespace vindrel::ui
