// What the run tests share: a scratch folder, a driver file of simple daily
// weather, an output file read back record by record, and an observer that
// remembers what a run told it.
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
#include "run/run_loop.hpp"

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
  Model model = MakeModel();
  DriverLookup writer;
  writer.OpenDriverFile(file_name, model, true);
  for (int day = first; day <= last; ++day) {
    daily_weather(day, model.drivers);
    if (change) change(day, model.drivers);
    writer.WriteDriverRecord(day, model.ModelInfo.DriverCount, model.drivers);
  }
  writer.CloseDriverFile();
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
  Model model = MakeModel();
  OutputFile file;
  file.OpenOutputFile(file_name, model, false);
  std::vector<OutputRecord> records;
  double time = 0.0;
  while (file.ReadOutputRecord(time, model)) {
    OutputRecord record;
    record.time = time;
    record.drivers = model.drivers;
    record.states = model.states;
    record.processes = model.processes;
    records.push_back(std::move(record));
  }
  file.CloseOutputFile();
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

// Remembers every report of a run. Cancels after `cancel_after_steps` steps
// when that is not negative, and runs `after_step` at the end of every step.
class RecordingObserver : public RunObserver {
 public:
  int starts = 0;
  int steps = 0;
  int ends = 0;
  RunOutcome end_outcome = RunOutcome::kCompleted;
  bool ended_before_failure = false;
  std::vector<int> percents;
  std::vector<double> progress_times;
  std::vector<std::string> failures;
  int cancel_after_steps = -1;
  std::function<void(int step)> after_step;

  void on_start(const RunSettings&) override { ++starts; }
  void on_progress(int percent, double present_time) override {
    percents.push_back(percent);
    progress_times.push_back(present_time);
  }
  bool cancel_requested() override {
    return cancel_after_steps >= 0 && steps >= cancel_after_steps;
  }
  void process_pending_messages() override {
    ++steps;
    if (after_step) after_step(steps);
  }
  void on_end(RunOutcome outcome, const RunState&) override {
    ++ends;
    end_outcome = outcome;
  }
  void on_failure(const std::exception& failure) override {
    ended_before_failure = ends > 0;
    failures.emplace_back(failure.what());
  }
};

}  // namespace vindrel::testing
