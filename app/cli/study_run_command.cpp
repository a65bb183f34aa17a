// vindrel-cli study run: one run per sample row, on several threads, each
// reduced to its metrics and written as one row of the results file.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/file_clash.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/interrupt.hpp"
#include "app/cli/output_guard.hpp"
#include "app/cli/output_options.hpp"
#include "app/cli/run_options.hpp"
#include "app/cli/study_commands.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"
#include "study/factors.hpp"
#include "study/metrics.hpp"
#include "study/samples.hpp"
#include "study/study_run.hpp"

namespace vindrel::cli {
namespace {

// Runs done, failures and the time left.
class StudyProgressBar {
 public:
  explicit StudyProgressBar(bool quiet) : line_(quiet) {}

  void update(const study::StudyProgress& progress) {
    if (!line_.due(progress.written)) return;
    const double elapsed = line_.elapsed();
    const std::size_t done_here = progress.written - progress.resumed;
    std::string left = "--:--";
    if (done_here > 0 && elapsed > 0.5) {
      left = clock_text(elapsed / static_cast<double>(done_here) *
                        static_cast<double>(progress.total - progress.written));
    }
    line_.draw(progress.written, std::max<std::size_t>(progress.total, 1),
               std::to_string(progress.written) + "/" + std::to_string(progress.total) + " runs  " +
                   std::to_string(progress.failed) + " failed  " + left + " left");
  }

  void finish() { line_.finish(); }

 private:
  ProgressLine line_;
};

struct StudyRunOptions {
  std::string command_line;
  std::string par;
  std::string drivers;
  std::string samples;
  std::string factors;
  std::vector<std::string> metrics;
  std::string results;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::string shard;
  std::string keep_outputs;
  RunArguments run;
  OutputOptions output;  // of the kept outputs
};

// "I/N" with 0 <= I < N.
study::Shard parse_shard(const std::string& text) {
  study::Shard shard;
  const std::size_t slash = text.find('/');
  const auto number = [](std::string_view digits, std::size_t& value) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
  };
  const std::string_view view(text);
  if (slash == std::string::npos || !number(view.substr(0, slash), shard.index) ||
      !number(view.substr(slash + 1), shard.count) || shard.count == 0 ||
      shard.index >= shard.count) {
    throw UsageError(
        "--shard: expected I/N with 0 <= I < N (shard 0/4 runs rows 0, 4, "
        "8, ...), found \"" +
        text + "\"");
  }
  return shard;
}

void run_study_command(const StudyRunOptions& options) {
  refuse_overwriting_inputs({{"--par", options.par},
                             {"--drivers", options.drivers},
                             {"--samples", options.samples},
                             {"--factors", options.factors}},
                            {{"--results", options.results}});
  if (options.jobs == 0) throw UsageError("--jobs: expected 1 or more");
  // Two studies appending to one results file would mix or lose rows: the
  // second is refused at its start, before it reads or writes anything.
  const OutputLock results_lock("--results", options.results);
  remove_stale_temporaries(options.results);
  // Ctrl-C, SIGTERM or SIGHUP from here on stops the study after whole rows;
  // one that comes while the files are read ends it before any run.
  const InterruptGuard guard;
  Model model = make_model();
  if (!ReadParamFile(options.par, model)) {
    throw std::runtime_error(incompatible_param_file_message(options.par, model.ModelInfo));
  }
  std::optional<OutputChoice> kept;
  if (!options.keep_outputs.empty()) {
    kept = checked_output_choice(options.output, "");
  } else if (!options.output.variables.empty() || !options.output.format.empty()) {
    throw UsageError(std::string(options.output.variables.empty() ? "--format" : "--variables") +
                     ": chooses what the kept outputs hold; name their folder with --keep-outputs");
  }
  const PreparedRun prepared =
      prepared_run(options.run, options.output.variables, model, options.par, options.drivers);
  prepared.mark_states(model);
  study::StudyRunSettings settings;
  settings.run = prepared.settings;
  settings.factors = study::read_factors(options.factors, model);
  settings.factors_file = options.factors;
  settings.samples = study::read_samples(options.samples, settings.factors);
  std::vector<std::string> reserved = {"run", "status", "message"};
  reserved.insert(reserved.end(), settings.samples.names.begin(), settings.samples.names.end());
  try {
    settings.metrics = study::parse_metrics(options.metrics, model, reserved,
                                            settings.run.start_time, settings.run.stop_time);
    study::check_metric_years(settings.metrics, settings.run.start_time, settings.run.stop_time,
                              settings.run.time_step, settings.run.output_step);
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("--metric: ") + e.what());
  }
  settings.results_file = options.results;
  settings.jobs = options.jobs;
  if (!options.shard.empty()) settings.shard = parse_shard(options.shard);
  if (!options.keep_outputs.empty()) {
    settings.keep_format = kept->format;
    settings.keep_columns = prepared.columns;
    if (kept->format == OutputFormat::kNetcdf) {
      settings.keep_metadata = run_metadata(settings.run, model, options.command_line);
    }
    // The kept outputs of the shard's rows, checked as any output is.
    const std::size_t rows = settings.samples.rows.size();
    const study::Shard shard = settings.shard;
    refuse_overwriting_inputs_in_folder(
        {{"--par", options.par},
         {"--drivers", options.drivers},
         {"--samples", options.samples},
         {"--factors", options.factors}},
        {{"--results", options.results}}, {"--keep-outputs", options.keep_outputs},
        [rows, shard, format = settings.keep_format](std::string_view name) {
          const std::optional<std::size_t> run = study::kept_output_run(name);
          return run && *run < rows && *run % shard.count == shard.index &&
                 output_format_of_file_name(name) == format;
        });
    std::error_code error;
    std::filesystem::create_directories(options.keep_outputs, error);
    if (!std::filesystem::is_directory(options.keep_outputs)) {
      throw std::runtime_error("--keep-outputs: cannot make the folder \"" + options.keep_outputs +
                               "\"" + (error ? ": " + error.message() : std::string()));
    }
    settings.keep_outputs = options.keep_outputs;
    remove_stale_kept_outputs(options.keep_outputs);
  }
  // What would make every run wrong is refused, and a bad driver file
  // reported, once, before any run; warnings are said before the runs.
  report_findings(prepared.findings);

  StudyProgressBar bar(options.run.quiet);
  const auto started = std::chrono::steady_clock::now();
  study::StudyOutcome outcome;
  if (InterruptGuard::interrupted()) {
    std::fprintf(stderr, "vindrel-cli: study interrupted before its first run; nothing was run\n");
    throw CLI::RuntimeError(InterruptGuard::exit_status());
  }
  {
    std::stop_source stop;
    outcome = study::run_study(model, settings, stop.get_token(),
                               [&](const study::StudyProgress& progress) {
                                 bar.update(progress);
                                 if (InterruptGuard::interrupted()) stop.request_stop();
                               });
  }
  bar.finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const study::StudyProgress& p = outcome.progress;
  const std::size_t failed = p.failed + outcome.resumed_failed;
  if (outcome.stopped) {
    std::fprintf(stderr,
                 "vindrel-cli: study interrupted; %zu of %zu runs are recorded in %s; run the "
                 "same command again to go on\n",
                 p.written, p.total, options.results.c_str());
    throw CLI::RuntimeError(130);
  }
  std::string shard;
  if (settings.shard.count > 1) {
    shard = " (shard " + std::to_string(settings.shard.index) + "/" +
            std::to_string(settings.shard.count) + " of " +
            std::to_string(settings.samples.rows.size()) + " rows)";
  }
  std::printf("study: %zu runs%s from %s to %s, %s, %u %s: %zu completed, %zu failed", p.total,
              shard.c_str(), shortest_decimal_text(settings.run.start_time).c_str(),
              shortest_decimal_text(settings.run.stop_time).c_str(),
              integrator_description(settings.run).c_str(), settings.jobs,
              settings.jobs == 1 ? "job" : "jobs", p.written - failed, failed);
  if (p.resumed > 0) std::printf(", %zu of them recorded before", p.resumed);
  std::printf(", in %s; results in %s\n", clock_text(seconds).c_str(), options.results.c_str());
  std::fflush(stdout);
  if (failed > 0) {
    std::fprintf(stderr, "vindrel-cli: %zu of %zu runs failed\n", failed, p.total);
    throw CLI::RuntimeError(3);
  }
}

}  // namespace

void add_study_run(CLI::App& study, const std::string& command_line) {
  CLI::App* command = study.add_subcommand(
      "run", "Run the model once per sample row and write each run's metrics to a results file");
  auto options = std::make_shared<StudyRunOptions>();
  options->command_line = command_line;
  command->add_option("--par", options->par, "Base parameter file; each run sets its row's factors")
      ->required();
  command->add_option("--drivers", options->drivers, "Driver file")->required();
  command->add_option("--samples", options->samples, "Sample file (one row per run)")->required();
  command->add_option("--factors", options->factors, "Factors file naming the sample's columns")
      ->required();
  add_run_options(*command, options->run);
  command
      ->add_option("--metric", options->metrics,
                   "NAME=VARIABLE:REDUCTION[:years=A-B], given once per metric: a summary "
                   "figure (NEP, GPP, ...) or an output variable (Cf, process:LAI, state#5), "
                   "reduced by last, mean, min, max or integral")
      ->required()
      ->allow_extra_args(false);
  command
      ->add_option("--results", options->results,
                   "Results file; one that exists is resumed after its last row")
      ->required();
  command->add_option("--jobs", options->jobs, "Runs at once (default: the processors)")
      ->capture_default_str();
  command->add_option("--shard", options->shard,
                      "I/N: run only the rows whose index modulo N is I (0 <= I < N)");
  command->add_option("--keep-outputs", options->keep_outputs,
                      "Folder for each run's output file, run-000042.out for row 42 (.csv or .nc "
                      "with --format)");
  add_output_options(*command, options->output, "the kept outputs");
  command->callback([options] { run_study_command(*options); });
}

}  // namespace vindrel::cli
