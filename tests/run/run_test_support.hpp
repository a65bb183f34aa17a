// What the run tests share: a scratch folder, a driver file of simple daily
// weather, an output file read back record by record, and a recorder that
// runs the model as the desktop does and remembers what the run told it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/output_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"

namespace vindrel::testing {

// A folder of its own for one test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vindrel-run-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Simple daily weather of a temperate site in the model's 366-day year. CO2 is
// 300 ppm plus the record's time, so that every day's drivers can be told apart.
inline void daily_weather(double day, driverarray& drivers) {
  const double year_angle = 2.0 * std::numbers::pi * (std::fmod(day - 1.0, 366.0) / 366.0);
  auto set = [&drivers](int position, double value) { drivers[position].value = value; };
  set(driver::Ca, 300.0 + day);                                   // ppm
  set(driver::Tamax, 13.0 - 14.0 * std::cos(year_angle - 0.35));  // oC
  set(driver::Tamin, 2.0 - 12.0 * std::cos(year_angle - 0.35));   // oC
  set(driver::Ts, 9.0 - 10.0 * std::cos(year_angle - 0.55));      // oC
  set(driver::Ppt, std::fmod(day, 3.0) == 0.0 ? 9.0 : 0.0);       // mm H2O day-1
  set(driver::II, 12.5 - 7.5 * std::cos(year_angle - 0.2));       // MJ m-2 day-1
  set(driver::DNH4, 0.001);                                       // g N m-2 day-1
  set(driver::DNO3, 0.0011);                                      // g N m-2 day-1
  for (int position = driver::DlambdaCF; position <= driver::DNno3; ++position) set(position, -1.0);
}

// Writes daily records for the days first..last; `change` may alter a day's
// drivers after the weather is set.
inline void write_daily_drivers(const std::string& file_name, int first, int last,
                                const std::function<void(int, driverarray&)>& change = {}) {
  Model model = make_model();
  DriverFileWriter writer;
  writer.open(file_name, model);
  for (int day = first; day <= last; ++day) {
    daily_weather(day, model.drivers);
    if (change) change(day, model.drivers);
    writer.write_record(day, model.ModelInfo.DriverCount, model.drivers);
  }
  writer.close();
}

struct OutputRecord {
  double time = 0.0;
  driverarray drivers{};
  statearray states{};
  processarray processes{};

  double driver(int position) const { return drivers[position].value; }
  double state(int position) const { return states[position].value; }
  double process(int position) const { return processes[position].value; }
};

inline std::vector<OutputRecord> read_output(const std::string& file_name) {
  Model model = make_model();
  OutputFileReader file;
  file.open(file_name);
  std::vector<OutputRecord> records;
  double time = 0.0;
  while (file.read_record(time, model)) {
    OutputRecord record;
    record.time = time;
    record.drivers = model.drivers;
    record.states = model.states;
    record.processes = model.processes;
    records.push_back(std::move(record));
  }
  file.close();
  return records;
}

inline std::vector<double> record_times(const std::string& file_name) {
  std::vector<double> times;
  for (const OutputRecord& record : read_output(file_name)) times.push_back(record.time);
  return times;
}

inline std::string read_whole_file_bytes(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::vector<double> state_values(const Model& model) {
  std::vector<double> values;
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) values.push_back(model.states[i].value);
  return values;
}

// What the caller keeps from one run to the next.
struct RunState {
  double present_time = 0.0;
  bool output_available = false;
  statearray initial_states{};
};

// Remembers every report of a run. Cancels after `cancel_after_steps` steps
// when that is not negative, and runs `after_step` at the end of every step.
struct RecordingObserver {
  int steps = 0;
  RunOutcome end_outcome = RunOutcome::kCompleted;
  std::vector<int> percents;
  std::vector<double> progress_times;
  std::vector<std::string> failures;
  int cancel_after_steps = -1;
  std::function<void(int step)> after_step;
  // The run's own model while it runs (from the first record on), so that
  // after_step can look at the states a step left, or break the model on
  // purpose in the middle of a run.
  Model* running_model = nullptr;
  RunResult result;
};

// The output file, and the run's own model for the observer.
class WatchedSink final : public RecordSink {
 public:
  WatchedSink(const std::string& file_name, RecordingObserver& observer)
      : file_(file_name), observer_(observer) {}
  void begin(const Model& model) override {
    // The run hands its own, non-const model to its sink.
    observer_.running_model = const_cast<Model*>(&model);
    file_.begin(model);
  }
  void record(const Model& model, double time) override { file_.record(model, time); }
  void end() override {
    observer_.running_model = nullptr;
    file_.end();
  }

 private:
  OutputFileSink file_;
  RecordingObserver& observer_;
};

// Runs the model as the desktop does: a run on a copy of `model` into the
// output file, whose final tables are then committed back to `model`, so that
// a second run continues from the first. Failures are recorded; in batch or
// sensitivity mode they are passed on, as the unattended modes do.
inline RunOutcome run_and_commit(Model& model, const RunSettings& settings, RunState& state,
                                 RecordingObserver& observer) {
  std::stop_source stop;
  WatchedSink sink(settings.output_file, observer);
  const RunProgress progress = [&](int percent, double present_time) {
    observer.percents.push_back(percent);
    observer.progress_times.push_back(present_time);
    ++observer.steps;
    if (observer.after_step) observer.after_step(observer.steps);
    if (observer.cancel_after_steps >= 0 && observer.steps >= observer.cancel_after_steps) {
      stop.request_stop();
    }
  };
  observer.result = Run(model, settings, sink, stop.get_token(), progress);
  const RunResult& result = observer.result;
  commit_run(model, result);
  state.present_time = result.present_time;
  state.initial_states = result.initial_states;
  state.output_available = true;
  observer.end_outcome = result.outcome;
  if (result.outcome == RunOutcome::kFailed) {
    if (settings.unattended()) result.rethrow_failure();
    observer.failures.push_back(result.failure_message());
  }
  return result.outcome;
}

}  // namespace vindrel::testing
