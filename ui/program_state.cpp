#include "ui/program_state.hpp"

namespace vindrel::ui {

void ProgramState::set_run_end(double present_time, const statearray& initial_states) {
  // Every run's end is news to the views, whatever the values.
  present_time_ = present_time;
  initial_states_ = initial_states;
  states_from_ = StatesFrom::kRun;
  notify();
}

void ProgramState::states_match_file() {
  const int count = model.ModelInfo.StateCount;
  file_states_.assign(static_cast<std::size_t>(count), 0.0);
  for (int i = 1; i <= count; ++i)
    file_states_[static_cast<std::size_t>(i - 1)] = model.states[i].value;
  states_from_ = StatesFrom::kFile;
  notify();
}

ProgramState::StatesFrom ProgramState::states_from() const {
  if (states_from_ == StatesFrom::kFile || file_states_.empty()) return StatesFrom::kFile;
  const int count = model.ModelInfo.StateCount;
  if (static_cast<int>(file_states_.size()) != count) return states_from_;
  for (int i = 1; i <= count; ++i) {
    if (model.states[i].value != file_states_[static_cast<std::size_t>(i - 1)]) return states_from_;
  }
  return StatesFrom::kFile;
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
