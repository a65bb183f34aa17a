// Runs from Python: one run, or many on threads, with the interpreter's lock
// released while the model runs. A run's records stay in the memory of its
// result, which numpy arrays view without copying.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "bindings.hpp"
#include "core/enum_names.hpp"
#include "core/exceptions.hpp"
#include "fileio/output_file.hpp"
#include "record_columns.hpp"
#include "run/run.hpp"
#include "run_request.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::python {
namespace {

// Keeps the chosen columns of every record, row by row; with a choice of
// columns it also gathers the annual summary, which needs the whole record.
class ColumnSink final : public RecordSink {
 public:
  ColumnSink(const std::vector<std::size_t>& columns, std::size_t expected_rows)
      : columns_(columns), expected_rows_(expected_rows) {}

  void begin(const Model& model) override {
    info_ = model.ModelInfo;
    record_.assign(output_columns(info_), 0.0);
    width_ = columns_.empty() ? record_.size() : columns_.size();
    values_.clear();
    values_.reserve(expected_rows_ * width_);
  }

  void record(const Model& model, double time) override {
    double* out = record_.data();
    *out++ = time;
    for (std::int32_t i = 1; i <= info_.DriverCount; ++i) *out++ = model.drivers[i].value;
    for (std::int32_t i = 1; i <= info_.StateCount; ++i) *out++ = model.states[i].value;
    for (std::int32_t i = info_.StateCount + 1; i <= info_.ProcessCount; ++i) {
      *out++ = model.processes[i].value;
    }
    if (columns_.empty()) {
      values_.insert(values_.end(), record_.begin(), record_.end());
      return;
    }
    for (std::size_t c : columns_) values_.push_back(record_[c]);
    summary_.add(record_.data(), info_);
  }

  void end() override {}

  std::size_t width() const noexcept { return width_; }
  std::vector<double>& values() noexcept { return values_; }
  AnnualSummary& summary() noexcept { return summary_; }

 private:
  std::vector<std::size_t> columns_;
  std::size_t expected_rows_;
  TModelDef info_;
  std::vector<double> record_;  // one whole record
  std::size_t width_ = 0;
  std::vector<double> values_;  // rows of width_ values
  AnnualSummary summary_;
};

// The run's result as Python reads it.
struct RunOutput {
  std::string outcome;       // "completed", "cancelled", "failed"
  std::string failure_kind;  // the name of the Python exception that reports the failure
  std::string message;       // the model's message
  std::string detail_text;   // when and where, as vindrel-cli prints it after the message
  RunFailureDetail detail;
  std::string limiting_symbol;
  std::string failed_file;  // for a file's failure: the file and the line
  std::size_t failed_line = 0;
  double present_time = 0.0;
  std::int64_t steps_completed = 0;
  std::int64_t records_written = 0;
  std::vector<std::string> column_keys;
  std::size_t width = 0;
  std::vector<double> values;
  bool whole_record = true;
  std::vector<YearFigures> years;  // gathered during the run for a choice of columns
  TModelDef info;
  ModelHandle final_model;
  // The annual summary as text, for an output that came from a pickle.
  std::optional<std::string> summary_text;
};

std::string failure_kind(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EStepTooSmall&) {
    return "StepTooSmall";
  } catch (const ETooManySteps&) {
    return "TooManySteps";
  } catch (const EIntegratorError&) {
    return "IntegratorFailed";
  } catch (const EZeroDivide&) {
    return "DivisionByZero";
  } catch (const EInvalidOp&) {
    return "InvalidOperation";
  } catch (const EMathError&) {
    return "ArithmeticFault";
  } catch (const EInOutError&) {
    return "FileFailed";
  } catch (...) {
    return "RunFailed";
  }
}

// Records the run will write: one every output step.
std::size_t expected_rows(const RunSettings& settings) {
  const double steps = (settings.stop_time - settings.start_time) / settings.time_step;
  const long long per_output = steps_per_output(settings.output_step, settings.time_step);
  if (!(steps > 0.0) || per_output <= 0 || steps > 1e9) return 0;
  return static_cast<std::size_t>(steps) / static_cast<std::size_t>(per_output) + 1;
}

// `handle` is the caller's copy: Python may change the model it came from
// while the run goes on without the interpreter's lock.
RunOutput run_one(ModelHandle handle, const RunRequest& request, std::stop_token stop,
                  const RunProgress& progress) {
  Model model = handle.model;
  const PreparedRun& prepared = request.prepared;
  prepared.mark_states(model);
  // The record columns kept, the time first; all of them when none is chosen.
  std::vector<std::size_t> columns;
  if (!prepared.columns.empty()) {
    columns.push_back(0);
    columns.insert(columns.end(), prepared.columns.begin(), prepared.columns.end());
  }
  ColumnSink sink(columns, expected_rows(prepared.settings));
  RunResult result = Run(std::move(model), prepared.settings, sink, stop, progress);

  RunOutput output;
  output.info = handle.model.ModelInfo;
  output.outcome = result.outcome == RunOutcome::kCompleted   ? "completed"
                   : result.outcome == RunOutcome::kCancelled ? "cancelled"
                                                              : "failed";
  if (result.outcome == RunOutcome::kFailed) {
    output.failure_kind = failure_kind(result.failure);
    output.message = result.failure_message();
    output.detail_text = failure_detail_text(result);
    output.detail = result.failure_detail;
    const int state = output.detail.limiting_state;
    if (state >= 1 && state <= result.model.ModelInfo.StateCount) {
      output.limiting_symbol = result.model.states[state].symbol;
    }
    try {
      std::rethrow_exception(result.failure);
    } catch (const EInOutError& error) {
      output.failed_file = error.file();
      output.failed_line = error.line();
    } catch (...) {
    }
  }
  output.present_time = result.present_time;
  output.steps_completed = result.steps_completed;
  output.records_written = result.records_written;
  output.column_keys =
      request.column_keys.empty() ? record_column_keys(handle.model) : request.column_keys;
  output.width = sink.width() == 0 ? output.column_keys.size() : sink.width();
  output.values = std::move(sink.values());
  output.values.shrink_to_fit();
  output.whole_record = prepared.columns.empty();
  if (!output.whole_record) output.years = sink.summary().finish();
  output.final_model = std::move(handle);
  commit_run(output.final_model.model, result);
  // The states are those of the time reached, in the series of runs this
  // one continues or starts.
  output.final_model.end_time = result.present_time;
  output.final_model.first_start =
      prepared.settings.first_start_time.value_or(prepared.settings.start_time);
  return output;
}

// Asks the interpreter, a few times a second, whether Ctrl-C was pressed (only
// the main thread ever sees it), and stops the run when it was.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::stop_source& stop) : stop_(stop) {}

  void poll() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) {
      interrupt_.emplace();  // takes the exception the signal handler raised
      stop_.request_stop();
    }
  }

  // Raises what the signal handler raised, if it did. Needs the lock.
  void raise_if_interrupted() {
    if (interrupt_) {
      py::error_already_set error = std::move(*interrupt_);
      interrupt_.reset();
      throw error;
    }
  }

 private:
  std::stop_source& stop_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  std::optional<py::error_already_set> interrupt_;
};

RunOutput run(const ModelHandle& handle, const RunRequest& request) {
  std::stop_source stop;
  InterruptWatch watch(stop);
  RunOutput output;
  ModelHandle copy = handle;
  {
    py::gil_scoped_release release;
    output =
        run_one(std::move(copy), request, stop.get_token(), [&](int, double) { watch.poll(); });
  }
  watch.raise_if_interrupted();
  return output;
}

// Runs every (model, request) pair on `jobs` threads; the results are in the
// order of the pairs.
std::vector<RunOutput> run_many(
    const std::vector<std::pair<const ModelHandle*, const RunRequest*>>& runs, int jobs) {
  std::vector<RunOutput> outputs(runs.size());
  std::vector<ModelHandle> models;
  models.reserve(runs.size());
  for (const auto& run : runs) models.push_back(*run.first);
  std::stop_source stop;
  InterruptWatch watch(stop);
  {
    py::gil_scoped_release release;
    std::atomic<std::size_t> next{0};
    std::atomic<int> running{0};
    std::mutex mutex;
    std::condition_variable finished;
    const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(runs.size())));
    running = threads;
    std::vector<std::jthread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t i = next++; i < runs.size() && !stop.stop_requested(); i = next++) {
          outputs[i] = run_one(std::move(models[i]), *runs[i].second, stop.get_token(), {});
        }
        std::lock_guard lock(mutex);
        --running;
        finished.notify_one();
      });
    }
    std::unique_lock lock(mutex);
    while (running > 0) {
      finished.wait_for(lock, std::chrono::milliseconds(200));
      lock.unlock();
      watch.poll();
      lock.lock();
    }
  }
  watch.raise_if_interrupted();
  return outputs;
}

py::array_t<double> values_array(py::object self) {
  const RunOutput& output = self.cast<const RunOutput&>();
  const auto width = static_cast<py::ssize_t>(output.width);
  const auto rows = width == 0 ? 0 : static_cast<py::ssize_t>(output.values.size()) / width;
  py::array_t<double> array(
      {rows, width},
      {width * static_cast<py::ssize_t>(sizeof(double)), static_cast<py::ssize_t>(sizeof(double))},
      output.values.data(), self);
  // The records are the run's: a change must not pass for the model's result.
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

std::string summary_csv(RunOutput& output) {
  if (output.summary_text) return *output.summary_text;
  if (output.whole_record) {
    AnnualSummary summary;
    for (std::size_t r = 0; output.width > 0 && r < output.values.size() / output.width; ++r) {
      summary.add(output.values.data() + r * output.width, output.info);
    }
    return format_summary_csv(summary.finish());
  }
  return format_summary_csv(output.years);
}

// A run's output as a picklable tuple: how it ended, with the detail of a
// failure, its records, its summary and the model it ended with.
py::tuple output_state(RunOutput& o) {
  const RunFailureDetail& d = o.detail;
  const py::bytes values(reinterpret_cast<const char*>(o.values.data()),
                         o.values.size() * sizeof(double));
  return py::make_tuple(
      1, o.outcome, o.failure_kind, o.message, o.detail_text,
      py::make_tuple(static_cast<int>(d.place), d.time_reached, d.failed_step_start, d.time_step,
                     d.driver_time, d.records_kept, d.equation_group, d.limiting_state,
                     d.step_growth_limited),
      o.limiting_symbol, o.failed_file, o.failed_line, o.present_time, o.steps_completed,
      o.records_written, o.column_keys, o.width, values, o.whole_record, summary_csv(o),
      py::cast(o.final_model));
}

RunOutput output_from_state(const py::tuple& state) {
  if (state.size() != 18 || state[0].cast<int>() != 1) {
    throw py::value_error("not a pickled vindrel run of this version");
  }
  RunOutput o;
  o.outcome = state[1].cast<std::string>();
  o.failure_kind = state[2].cast<std::string>();
  o.message = state[3].cast<std::string>();
  o.detail_text = state[4].cast<std::string>();
  const auto detail = state[5].cast<py::tuple>();
  o.detail.place = static_cast<RunFailurePlace>(detail[0].cast<int>());
  o.detail.time_reached = detail[1].cast<double>();
  o.detail.failed_step_start = detail[2].cast<double>();
  o.detail.time_step = detail[3].cast<double>();
  o.detail.driver_time = detail[4].cast<double>();
  o.detail.records_kept = detail[5].cast<std::int64_t>();
  o.detail.equation_group = detail[6].cast<std::string>();
  o.detail.limiting_state = detail[7].cast<int>();
  o.detail.step_growth_limited = detail[8].cast<bool>();
  o.limiting_symbol = state[6].cast<std::string>();
  o.failed_file = state[7].cast<std::string>();
  o.failed_line = state[8].cast<std::size_t>();
  o.present_time = state[9].cast<double>();
  o.steps_completed = state[10].cast<std::int64_t>();
  o.records_written = state[11].cast<std::int64_t>();
  o.column_keys = state[12].cast<std::vector<std::string>>();
  o.width = state[13].cast<std::size_t>();
  const std::string bytes = state[14].cast<std::string>();
  o.values.resize(bytes.size() / sizeof(double));
  std::memcpy(o.values.data(), bytes.data(), o.values.size() * sizeof(double));
  o.whole_record = state[15].cast<bool>();
  o.summary_text = state[16].cast<std::string>();
  o.final_model = state[17].cast<ModelHandle>();
  o.info = o.final_model.model.ModelInfo;
  return o;
}

}  // namespace

void bind_run(py::module_& module) {
  const RunOptions& defaults = kDefaultRunOptions;
  py::class_<RunOptions>(module, "RunOptions")
      .def(py::init([](double start, double stop, double step, std::optional<double> output_step,
                       std::optional<long long> repeat_drivers, std::optional<double> first_start,
                       std::optional<long long> reset_every, std::string reset, std::string hold,
                       std::string integrator, std::optional<double> rtol,
                       std::optional<std::string> variables, bool strict) {
             return RunOptions{start,
                               stop,
                               step,
                               output_step,
                               repeat_drivers,
                               first_start,
                               reset_every,
                               std::move(reset),
                               std::move(hold),
                               std::move(integrator),
                               rtol,
                               std::move(variables),
                               strict};
           }),
           py::kw_only(), py::arg("start") = defaults.start, py::arg("stop") = defaults.stop,
           py::arg("step") = defaults.step, py::arg("output_step") = defaults.output_step,
           py::arg("repeat_drivers") = defaults.repeat_drivers,
           py::arg("first_start") = defaults.first_start,
           py::arg("reset_every") = defaults.reset_every, py::arg("reset") = defaults.reset,
           py::arg("hold") = defaults.hold, py::arg("integrator") = defaults.integrator,
           py::arg("rtol") = defaults.rtol, py::arg("variables") = defaults.variables,
           py::arg("strict") = defaults.strict)
      .def_readwrite("start", &RunOptions::start)
      .def_readwrite("stop", &RunOptions::stop)
      .def_readwrite("step", &RunOptions::step)
      .def_readwrite("output_step", &RunOptions::output_step)
      .def_readwrite("repeat_drivers", &RunOptions::repeat_drivers)
      .def_readwrite("first_start", &RunOptions::first_start)
      .def_readwrite("reset_every", &RunOptions::reset_every)
      .def_readwrite("reset", &RunOptions::reset)
      .def_readwrite("hold", &RunOptions::hold)
      .def_readwrite("integrator", &RunOptions::integrator)
      .def_readwrite("rtol", &RunOptions::rtol)
      .def_readwrite("variables", &RunOptions::variables)
      .def_readwrite("strict", &RunOptions::strict);
  module.attr("DEFAULT_RELATIVE_TOLERANCE") = kDefaultRelativeTolerance;

  py::class_<RunRequest>(module, "RunRequest")
      .def_property_readonly(
          "findings", [](const RunRequest& r) { return finding_tuples(r.prepared.findings); })
      .def_readonly("column_keys", &RunRequest::column_keys);

  module.def("prepare", &make_run_request, py::arg("model"), py::arg("options"),
             py::arg("check_files") = true);

  py::class_<RunOutput>(module, "RunOutput")
      .def_readonly("outcome", &RunOutput::outcome)
      .def_readonly("failure_kind", &RunOutput::failure_kind)
      .def_readonly("message", &RunOutput::message)
      .def_readonly("detail_text", &RunOutput::detail_text)
      .def_property_readonly("place",
                             [](const RunOutput& o) {
                               constexpr EnumNames<RunFailurePlace, 6> kPlaces{{{
                                   {RunFailurePlace::kPreparation, "preparation"},
                                   {RunFailurePlace::kDrivers, "drivers"},
                                   {RunFailurePlace::kStartTime, "start time"},
                                   {RunFailurePlace::kIntegration, "integration"},
                                   {RunFailurePlace::kStepEnd, "step end"},
                                   {RunFailurePlace::kOutput, "output"},
                               }}};
                               return kPlaces.name(o.detail.place);
                             })
      .def_property_readonly("time_reached",
                             [](const RunOutput& o) { return o.detail.time_reached; })
      .def_property_readonly("failed_step_start",
                             [](const RunOutput& o) { return o.detail.failed_step_start; })
      .def_property_readonly("time_step", [](const RunOutput& o) { return o.detail.time_step; })
      .def_property_readonly("driver_time", [](const RunOutput& o) { return o.detail.driver_time; })
      .def_property_readonly("records_kept",
                             [](const RunOutput& o) { return o.detail.records_kept; })
      .def_property_readonly("equation_group",
                             [](const RunOutput& o) { return o.detail.equation_group; })
      .def_property_readonly("limiting_state",
                             [](const RunOutput& o) { return o.detail.limiting_state; })
      .def_readonly("limiting_symbol", &RunOutput::limiting_symbol)
      .def_property_readonly("step_growth_limited",
                             [](const RunOutput& o) { return o.detail.step_growth_limited; })
      .def_readonly("failed_file", &RunOutput::failed_file)
      .def_readonly("failed_line", &RunOutput::failed_line)
      .def_readonly("present_time", &RunOutput::present_time)
      .def_readonly("steps_completed", &RunOutput::steps_completed)
      .def_readonly("records_written", &RunOutput::records_written)
      .def_readonly("column_keys", &RunOutput::column_keys)
      .def_property_readonly("values", &values_array)
      .def_property_readonly("final_model", [](const RunOutput& o) { return o.final_model; })
      .def("summary_csv", &summary_csv)
      .def(py::pickle(&output_state, &output_from_state));

  module.def("run", &run, py::arg("model"), py::arg("request"));
  module.def("run_many", &run_many, py::arg("runs"), py::arg("jobs"));
}

}  // namespace vindrel::python
