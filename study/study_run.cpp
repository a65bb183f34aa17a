#include "study/study_run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_columns.hpp"
#include "fileio/safe_write.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "study/kept_output.hpp"
#include "study/results_file.hpp"
#include "study/text_lines.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::study {
namespace {

// How far ahead of the next row to write a worker may start a row, per worker.
constexpr std::size_t kRowsAheadPerWorker = 4;
// How often the calling thread reports progress while it waits.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

// The results file opened for appending whole rows. A write that fails cuts the
// file back to its last whole row.
class AppendFile {
 public:
  AppendFile(const std::string& path, std::size_t keep_bytes) : path_(path) {
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor_ < 0) throw_io_error(errno, path);
    // Drops a row cut short when an earlier study stopped while writing it.
    if (::ftruncate(descriptor_, static_cast<off_t>(keep_bytes)) != 0 ||
        ::lseek(descriptor_, 0, SEEK_END) < 0) {
      const int error = errno;
      ::close(descriptor_);
      throw_io_error(error, path);
    }
    size_ = static_cast<off_t>(keep_bytes);
  }
  ~AppendFile() { ::close(descriptor_); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  void append(const std::string& rows) {
    std::size_t done = 0;
    while (done < rows.size()) {
      const ssize_t n = ::write(descriptor_, rows.data() + done, rows.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int error = n < 0 ? errno : ENOSPC;
        if (::ftruncate(descriptor_, size_) == 0) ::lseek(descriptor_, size_, SEEK_SET);
        throw_io_error(error, path_);
      }
      done += static_cast<std::size_t>(n);
    }
    size_ += static_cast<off_t>(rows.size());
  }

 private:
  std::string path_;
  int descriptor_ = -1;
  off_t size_ = 0;
};

struct FinishedRow {
  std::string text;
  bool failed = false;
  // A failure of the study rather than of the row's run (a kept output that
  // could not be written): the study stops, and the row is run again when
  // the study is resumed.
  std::exception_ptr study_failure;
};

// Whether a run failed writing its records to a file: its output, not its
// model. (The metrics, computed in the same sink, fail otherwise.)
bool failed_writing(const RunResult& result) {
  if (result.outcome != RunOutcome::kFailed ||
      result.failure_detail.place != RunFailurePlace::kOutput || !result.failure) {
    return false;
  }
  try {
    std::rethrow_exception(result.failure);
  } catch (const EInOutError&) {
    return true;
  } catch (...) {
    return false;
  }
}

// The sink of a kept output. A NetCDF file records the run's number and its
// factors' values beside the study's metadata.
std::unique_ptr<RecordSink> kept_output_sink(const StudyRunSettings& settings,
                                             const std::string& file_name, std::size_t run) {
  if (settings.keep_format == OutputFormat::kOut)
    return std::make_unique<OutputFileSink>(file_name);
  OutputMetadata metadata = settings.keep_metadata;
  if (settings.keep_format == OutputFormat::kNetcdf) {
    metadata.push_back({"study_run", std::to_string(run), static_cast<double>(run)});
    const std::vector<double>& values = settings.samples.rows[run];
    for (std::size_t f = 0; f < settings.samples.names.size() && f < values.size(); ++f) {
      // An attribute name of letters, digits and "_": "factor_state_Cf".
      std::string name = "factor_" + settings.samples.names[f];
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      metadata.push_back({name, shortest_decimal_text(values[f]), values[f]});
    }
  }
  return std::make_unique<TableFileSink>(file_name, make_table_writer(settings.keep_format),
                                         settings.keep_columns, std::move(metadata));
}

// One run of a sample row, reduced to its results row; nothing when a stop
// request cancelled it.
std::optional<FinishedRow> run_row(const Model& base, const StudyRunSettings& settings,
                                   const std::shared_ptr<const DriverRecords>& drivers,
                                   std::size_t run, const std::stop_token& stop) {
  const std::vector<double>& values = settings.samples.rows[run];
  const std::vector<double> no_metrics(settings.metrics.size(),
                                       std::numeric_limits<double>::quiet_NaN());
  try {
    Model model = base;
    apply_sample(model, settings.factors, values);
    RunSettings run_settings = settings.run;
    std::optional<KeptOutput> kept;
    if (!settings.keep_outputs.empty()) {
      kept.emplace(kept_output_name(settings.keep_outputs, run, settings.keep_format),
                   [&settings, run](const std::string& file_name) {
                     return kept_output_sink(settings, file_name, run);
                   });
      run_settings.output_file = kept->file_name();
    } else {
      run_settings.output_file.clear();
    }
    MetricSink sink(settings.metrics, run_settings.start_time, kept ? &*kept : nullptr);
    const RunResult result = Run(std::move(model), run_settings, drivers, sink, stop);
    if (result.outcome == RunOutcome::kCancelled) return std::nullopt;
    if (kept && failed_writing(result)) {
      // A full disk: the kept file keeps what it held, and the study stops.
      kept->discard();
      return FinishedRow{{}, true, result.failure};
    }
    // The records of a completed or failed run, as vindrel-cli run leaves them.
    if (kept) {
      try {
        kept->publish();
      } catch (const EInOutError&) {
        return FinishedRow{{}, true, std::current_exception()};
      }
    }
    if (result.outcome == RunOutcome::kFailed) {
      std::string message = result.failure_message();
      if (message.empty()) message = "the run failed";
      // When, for a modeller to find the cause.
      message += " (the run stopped at time " + shortest_decimal_text(result.present_time) + ")";
      return FinishedRow{results_row(run, message, values, no_metrics), true, {}};
    }
    return FinishedRow{results_row(run, "", values, sink.values()), false, {}};
  } catch (const std::exception& e) {
    const std::string message = *e.what() != '\0' ? e.what() : "the run failed";
    return FinishedRow{results_row(run, message, values, no_metrics), true, {}};
  }
}

// A file the study could not write (a full disk) stops it; the rows recorded
// before stay, and the same command goes on from them.
[[noreturn]] void throw_study_stopped(const EInOutError& error, std::size_t rows_kept,
                                      const std::string& results_file) {
  throw EInOutError(error.message() + "; the study stopped: " + std::to_string(rows_kept) +
                        (rows_kept == 1 ? " run is" : " runs are") + " recorded in " +
                        results_file + "; run the same command again to go on",
                    error.file(), error.line());
}

}  // namespace

std::vector<std::size_t> shard_rows(std::size_t rows, Shard shard) {
  std::vector<std::size_t> indices;
  for (std::size_t i = shard.index; i < rows; i += shard.count) indices.push_back(i);
  return indices;
}

std::string kept_output_name(const std::string& folder, std::size_t run, OutputFormat format) {
  std::string number = std::to_string(run);
  if (number.size() < 6) number.insert(0, 6 - number.size(), '0');
  const char* extension = format == OutputFormat::kCsv      ? ".csv"
                          : format == OutputFormat::kNetcdf ? ".nc"
                                                            : ".out";
  return (std::filesystem::path(folder) / ("run-" + number + extension)).string();
}

std::optional<std::size_t> kept_output_run(std::string_view file_name) {
  constexpr std::string_view kPrefix = "run-";
  const OutputFormat format = output_format_of_file_name(file_name);
  const std::string_view suffix = format == OutputFormat::kCsv      ? ".csv"
                                  : format == OutputFormat::kNetcdf ? ".nc"
                                                                    : ".out";
  if (!file_name.starts_with(kPrefix) || !file_name.ends_with(suffix)) return std::nullopt;
  const std::string_view digits =
      file_name.substr(kPrefix.size(), file_name.size() - kPrefix.size() - suffix.size());
  std::size_t run = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), run);
  if (digits.size() < 6 || error != std::errc() || end != digits.data() + digits.size() ||
      kept_output_name("", run, format) != file_name) {
    return std::nullopt;
  }
  return run;
}

std::string metric_definition(const Metric& metric, const Model& model) {
  std::string variable;
  const auto position = static_cast<int>(metric.position);
  if (metric.table == MetricTable::kSummary) {
    variable = "summary:" + std::string(summary_columns()[metric.position].heading);
  } else if (metric.table == MetricTable::kSummaryWide) {
    variable = "summary:" + std::string(summary_wide_columns()[metric.position].heading);
  } else {
    // The one name of the column: TABLE:SYMBOL, or TABLE#N when the symbol is not unique.
    OutputColumn column;
    column.kind = metric.table == MetricTable::kDriver  ? ColumnTable::kDriver
                  : metric.table == MetricTable::kState ? ColumnTable::kState
                                                        : ColumnTable::kProcess;
    column.index = position;
    column.symbol = metric.table == MetricTable::kDriver  ? model.drivers[position].symbol
                    : metric.table == MetricTable::kState ? model.states[position].symbol
                                                          : model.processes[position].symbol;
    variable = qualified_output_name(model, column);
  }
  static constexpr const char* kReductionNames[] = {"last", "mean", "min", "max", "integral"};
  std::string text = metric.name + "=" + variable + ":" +
                     kReductionNames[static_cast<std::size_t>(metric.reduction)];
  if (metric.first_year != 0) {
    text += ":years=" + std::to_string(metric.first_year) + "-" + std::to_string(metric.last_year);
  }
  return text;
}

StudyDefinition study_definition(const Model& base, const StudyRunSettings& settings) {
  StudyDefinition definition;
  const RunSettings& run = settings.run;
  const std::pair<const char*, const std::string*> inputs[] = {
      {"par", &run.parameter_file},
      {"drivers", &run.driver_file},
      {"factors", &settings.factors_file},
      {"samples", &settings.samples.file_name}};
  for (const auto& [key, file] : inputs) {
    if (!file->empty()) definition.push_back({key, file_content_hash(*file), *file});
  }
  // The study's rows, all shards together: a merge without the sample finds
  // a missing last row by it.
  definition.push_back({"rows", std::to_string(settings.samples.rows.size()), {}});
  definition.push_back({"start", shortest_text(run.start_time), {}});
  definition.push_back({"stop", shortest_text(run.stop_time), {}});
  definition.push_back({"step", shortest_text(run.time_step), {}});
  definition.push_back({"output-step", shortest_text(run.output_step), {}});
  definition.push_back(
      {"repeat-drivers", run.repeat_drivers ? std::to_string(run.repeat_time) : "no", {}});
  // The states a reset puts back and those held constant, by symbol.
  std::string reset;
  std::string hold;
  for (int i = 1; i <= base.ModelInfo.StateCount; ++i) {
    const Tstatevariable& state = base.states[i];
    const std::string name = state.symbol.empty() ? "state#" + std::to_string(i) : state.symbol;
    if (run.reset_states && state.Reset) reset += (reset.empty() ? "" : ",") + name;
    if (state.HoldConstant) hold += (hold.empty() ? "" : ",") + name;
  }
  if (run.reset_states) {
    definition.push_back({"reset-every", std::to_string(run.reset_interval), {}});
    definition.push_back({"reset", reset.empty() ? "none" : reset, {}});
  } else {
    definition.push_back({"reset-every", "no", {}});
  }
  definition.push_back({"hold", hold.empty() ? "none" : hold, {}});
  definition.push_back({"integrator",
                        std::string(integrator_name(run.integrator)) +
                            (run.integrator == IntegratorKind::kRk4
                                 ? ", tolerance " + shortest_text(run.tolerance)
                                 : ", rtol " + shortest_text(run.relative_tolerance)),
                        {}});
  for (const Metric& metric : settings.metrics) {
    definition.push_back({"metric", metric_definition(metric, base), {}});
  }
  return definition;
}

std::string study_results_header(const StudyRunSettings& settings) {
  std::vector<std::string> metric_names;
  for (const Metric& metric : settings.metrics) metric_names.push_back(metric.name);
  return results_header(settings.samples.names, metric_names);
}

StudyOutcome run_study(const Model& base, const StudyRunSettings& settings, std::stop_token stop,
                       const StudyProgressCallback& progress) {
  if (settings.shard.count == 0 || settings.shard.index >= settings.shard.count) {
    throw std::invalid_argument("the shard's index must be less than the count of shards");
  }
  // Every run would end without a value for such a metric: refused first.
  check_metric_years(settings.metrics, settings.run.start_time, settings.run.stop_time,
                     settings.run.time_step, settings.run.output_step);
  const std::vector<std::size_t> rows = shard_rows(settings.samples.rows.size(), settings.shard);
  const std::string header = study_results_header(settings);
  const StudyDefinition definition = study_definition(base, settings);
  StudyOutcome outcome;
  outcome.progress.total = rows.size();

  // Resume: the rows already written are the shard's first rows, of the same study.
  std::size_t keep_bytes = 0;
  std::error_code exists_error;
  const bool resume = std::filesystem::exists(settings.results_file, exists_error) &&
                      std::filesystem::file_size(settings.results_file, exists_error) > 0;
  if (resume) {
    // A file an editor saved with CR LF or a byte-order mark goes on as the
    // program writes it: it is rewritten so first (safely), so that the rows
    // appended match and a cut last line is found.
    const std::string text = read_text_file(settings.results_file);
    std::string normalized = normalized_results_text(text);
    if (normalized != text) write_file_atomically(settings.results_file, normalized);
    const ResultsFile existing = parse_results(std::move(normalized), settings.results_file);
    if (existing.definition.empty()) {
      throw EInOutError(
          "the file does not record the definition of its study (it was written by an earlier "
          "version of the program), so it cannot be resumed as this study: finish it with that "
          "version, or give another results file",
          settings.results_file, 1);
    }
    // A file written before definitions recorded the count of rows goes on
    // without it (its sample's hash names the rows all the same).
    StudyDefinition compared = definition;
    if (!find_item(existing.definition, "rows")) {
      std::erase_if(compared, [](const DefinitionItem& item) { return item.key == "rows"; });
    }
    const std::string differences =
        definition_differences(existing.definition, compared, "the file", "this study");
    if (!differences.empty()) {
      throw EInOutError("the file holds the results of another study: " + differences +
                            "; give another results file or remove it",
                        settings.results_file, 1);
    }
    if (existing.header != header) {
      throw EInOutError(
          "the file holds the results of another study (its header differs from this study's "
          "factors and metrics); give another results file or remove it",
          settings.results_file, existing.definition.size() + 1);
    }
    for (std::size_t k = 0; k < existing.rows.size(); ++k) {
      const ResultsRow& row = existing.rows[k];
      if (k >= rows.size() || row.run != rows[k]) {
        throw EInOutError("expected " +
                              (k < rows.size() ? std::string("run ") + std::to_string(rows[k])
                                               : std::string("no further run")) +
                              " of this study's rows, found run " + std::to_string(row.run) +
                              "; the file holds the results of another study or shard",
                          settings.results_file, row.line);
      }
      check_row_matches_sample(row, settings.samples, settings.results_file);
      check_row_values(row, existing, settings.results_file);
      if (!row.completed()) ++outcome.resumed_failed;
    }
    outcome.progress.resumed = existing.rows.size();
    keep_bytes = existing.complete_bytes;
  } else {
    const std::string start = definition_text(definition) + header;
    write_file_atomically(settings.results_file, start);
    keep_bytes = start.size();
  }
  outcome.progress.written = outcome.progress.resumed;
  AppendFile file(settings.results_file, keep_bytes);

  const std::vector<std::size_t> todo(
      rows.begin() + static_cast<std::ptrdiff_t>(outcome.progress.resumed), rows.end());
  const unsigned jobs = std::max(
      1u, std::min<unsigned>(settings.jobs,
                             static_cast<unsigned>(std::max<std::size_t>(todo.size(), 1))));
  const std::size_t rows_ahead = kRowsAheadPerWorker * jobs;

  // Every run reads the same records of the driver file: they are read once,
  // and the runs share them. When they cannot be read, each run reads the
  // file itself and fails as it would alone, with its own row.
  std::shared_ptr<const DriverRecords> drivers;
  if (!todo.empty()) {
    try {
      drivers = read_run_drivers(base, settings.run);
    } catch (const std::exception&) {
      drivers.reset();
    }
  }

  std::stop_source runs_stop;
  const std::stop_callback pass_on_stop(stop, [&runs_stop] { runs_stop.request_stop(); });
  std::mutex mutex;
  std::condition_variable ready_changed;     // a row finished, or a worker ended
  std::condition_variable_any room_made;     // rows were written
  std::map<std::size_t, FinishedRow> ready;  // finished rows by their place in `todo`
  std::size_t next_to_write = 0;             // place in `todo`
  std::exception_ptr study_failure;          // the first; it stops every run
  unsigned workers_running = jobs;
  std::atomic<std::size_t> next_to_take{0};

  const auto work = [&] {
    const std::stop_token worker_stop = runs_stop.get_token();
    for (;;) {
      const std::size_t k = next_to_take.fetch_add(1);
      if (k >= todo.size()) break;
      {
        std::unique_lock lock(mutex);
        if (!room_made.wait(lock, worker_stop, [&] { return k < next_to_write + rows_ahead; })) {
          break;
        }
      }
      std::optional<FinishedRow> row = run_row(base, settings, drivers, todo[k], worker_stop);
      if (!row) break;
      if (row->study_failure) {
        {
          const std::lock_guard lock(mutex);
          if (!study_failure) study_failure = row->study_failure;
        }
        runs_stop.request_stop();
        break;
      }
      {
        const std::lock_guard lock(mutex);
        ready.emplace(k, std::move(*row));
      }
      ready_changed.notify_one();
    }
    {
      const std::lock_guard lock(mutex);
      --workers_running;
    }
    ready_changed.notify_one();
  };

  std::vector<std::jthread> workers;
  try {
    for (unsigned j = 0; j < jobs && !todo.empty(); ++j) workers.emplace_back(work);
    if (todo.empty()) workers_running = 0;
    while (next_to_write < todo.size()) {
      std::string batch;
      std::size_t batch_rows = 0;
      std::size_t batch_failed = 0;
      bool workers_gone = false;
      {
        std::unique_lock lock(mutex);
        ready_changed.wait_for(lock, kProgressInterval, [&] {
          return ready.contains(next_to_write) || workers_running == 0;
        });
        for (auto it = ready.find(next_to_write); it != ready.end();
             it = ready.find(next_to_write)) {
          batch += it->second.text;
          batch_failed += it->second.failed ? 1 : 0;
          ++batch_rows;
          ready.erase(it);
          ++next_to_write;
        }
        workers_gone = workers_running == 0;
      }
      if (batch_rows > 0) {
        room_made.notify_all();
        try {
          file.append(batch);
        } catch (const EInOutError& error) {
          throw_study_stopped(error, outcome.progress.written, settings.results_file);
        }
        outcome.progress.written += batch_rows;
        outcome.progress.failed += batch_failed;
      }
      if (progress) progress(outcome.progress);
      // Every worker has ended and the next row will not come: stopped.
      if (workers_gone && batch_rows == 0) {
        if (study_failure) {
          try {
            std::rethrow_exception(study_failure);
          } catch (const EInOutError& error) {
            throw_study_stopped(error, outcome.progress.written, settings.results_file);
          }
        }
        break;
      }
    }
  } catch (...) {
    runs_stop.request_stop();
    room_made.notify_all();
    throw;  // the workers are joined as `workers` goes
  }
  workers.clear();
  outcome.stopped = next_to_write < todo.size();
  return outcome;
}

}  // namespace vindrel::study
