// vindrel-cli run: one simulation run, exactly as the desktop's Run makes it,
// from a parameter file and a driver file to an output file.
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/cli/commands.hpp"
#include "app/cli/file_clash.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/interrupt.hpp"
#include "app/cli/output_guard.hpp"
#include "app/cli/output_options.hpp"
#include "app/cli/run_options.hpp"
#include "check/findings.hpp"
#include "core/model.hpp"
#include "core/model_constants.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {
namespace {

// Progress on standard error: the bar, the percentage, the model time
// reached, an estimate of the time left and the integrator.
class ProgressBar {
 public:
  ProgressBar(bool quiet, double start_time, double stop_time, std::string integrator)
      : line_(quiet),
        start_time_(start_time),
        stop_time_(stop_time),
        integrator_(std::move(integrator)) {}

  void update(int percent, double present_time) {
    if (!line_.due(static_cast<std::size_t>(percent))) return;
    const std::string left = time_left_text(line_.elapsed(), present_time, start_time_, stop_time_);
    char percentage[8];
    std::snprintf(percentage, sizeof percentage, "%3d%%", percent);
    line_.draw(static_cast<std::size_t>(percent), 100,
               std::string(percentage) + "  time " + shortest_decimal_text(present_time) + "  " +
                   left + " left  " + integrator_);
  }

  void finish() { line_.finish(); }

 private:
  ProgressLine line_;
  double start_time_;
  double stop_time_;
  std::string integrator_;  // "dopri5, rtol 1E-8"
};

struct CommandOptions {
  std::string command_line;
  std::string par;
  std::string drivers;
  std::string out;
  std::string save_states;
  RunArguments run;
  OutputOptions output;
};

// A device or a pipe (/dev/null) is written directly, not through a
// temporary file.
bool writes_in_place(const std::string& file_name) {
  std::error_code error;
  const auto status = std::filesystem::status(file_name, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

// Writes the parameters and the states a run ended with to a parameter file,
// so that a later run starts where this one stopped.
// The states of a run that was cancelled or failed go to a file of their own
// (states.partial.par), so that the states a complete run saved stay.
void save_final_states(const std::string& states_file, const RunResult& result,
                       const RunSettings& settings) {
  const bool complete = result.outcome == RunOutcome::kCompleted;
  const std::string file_name =
      complete || writes_in_place(states_file) ? states_file : partial_file_name(states_file);
  if (result.steps_completed == 0) {
    std::fprintf(stderr, "vindrel-cli: warning: no time step was completed; %s was not written\n",
                 file_name.c_str());
    return;
  }
  WriteParamFile(file_name, result.model);
  // Where in the model's year the states stand, and how to go on from them.
  const double time = result.present_time;
  const std::string at = shortest_decimal_text(time);
  std::fprintf(
      stderr,
      "vindrel-cli: %s holds the states at time %s, day %d of model year %lld; a run "
      "continues from them with --start %s --first-start %s\n",
      file_name.c_str(), at.c_str(), day_of_model_year(time),
      static_cast<long long>(std::ceil(time / kModelYearDays)), at.c_str(),
      shortest_decimal_text(settings.first_start_time.value_or(settings.start_time)).c_str());
  const std::string previous = file_name == states_file ? std::string()
                               : std::filesystem::exists(states_file)
                                   ? "; " + states_file + " is unchanged"
                                   : std::string();
  if (result.outcome == RunOutcome::kCancelled) {
    std::fprintf(stderr,
                 "vindrel-cli: warning: the run was cancelled; %s holds the states reached at "
                 "time %s%s\n",
                 file_name.c_str(), shortest_decimal_text(result.present_time).c_str(),
                 previous.c_str());
  } else if (result.outcome == RunOutcome::kFailed) {
    std::fprintf(stderr,
                 "vindrel-cli: warning: the run failed; %s holds the states of the last "
                 "completed step, at time %s%s\n",
                 file_name.c_str(), shortest_decimal_text(result.present_time).c_str(),
                 previous.c_str());
  }
}

// Where the records of an unfinished run were published, and what became of
// a previous complete output: " in NAME.partial.out; the previous NAME is
// unchanged".
std::string partial_output_text(const std::string& out, const std::string& partial,
                                bool had_previous_output) {
  if (partial.empty()) return " in " + out;
  return " in " + partial + "; " +
         (had_previous_output ? "the previous " + out + " is unchanged"
                              : "no " + out + " was made");
}

// Ctrl-C is what a user expects; another signal is named: " by SIGTERM".
std::string cancelled_by() {
  const int signal = InterruptGuard::signal_number();
  return signal == SIGINT || signal == 0 ? std::string()
                                         : std::string(" by ") + InterruptGuard::signal_name();
}

void run(const CommandOptions& options) {
  refuse_overwriting_inputs({{"--par", options.par}, {"--drivers", options.drivers}},
                            {{"--out", options.out}, {"--save-states", options.save_states}});
  // Every output can be created, and no other run is writing it, before the
  // first step: a long run never ends unable to save its end.
  check_output_creatable(options.out);
  check_output_creatable(options.save_states);
  const OutputLock out_lock("--out", options.out);
  const OutputLock states_lock("--save-states", options.save_states);
  // What a killed run on these files left behind goes now.
  remove_stale_temporaries(options.out);
  remove_stale_temporaries(partial_file_name(options.out));
  remove_stale_temporaries(options.save_states);
  // Ctrl-C, SIGTERM or SIGHUP from here on reaches the run as a stop request,
  // read after each time step; one that comes while the files are read ends
  // the command before the run starts.
  const InterruptGuard guard;
  Model model = make_model();
  if (!ReadParamFile(options.par, model)) {
    throw std::runtime_error(incompatible_param_file_message(options.par, model.ModelInfo));
  }
  OutputChoice output = checked_output_choice(options.output, options.out);
  // What would make the run wrong is refused, and a bad driver file reported,
  // before the output file is replaced; warnings are said before the run.
  const PreparedRun prepared =
      prepared_run(options.run, options.output.variables, model, options.par, options.drivers);
  report_findings(prepared.findings);
  prepared.mark_states(model);
  if (InterruptGuard::interrupted()) {
    std::fprintf(stderr, "vindrel-cli: run cancelled%s before it started; nothing was written\n",
                 cancelled_by().c_str());
    throw CLI::RuntimeError(InterruptGuard::exit_status());
  }
  RunSettings settings = prepared.settings;
  settings.output_file = options.out;
  output.columns = prepared.columns;
  const Model initial = model;

  ProgressBar bar(options.run.quiet, settings.start_time, settings.stop_time,
                  integrator_description(settings));
  const bool had_previous_output = std::filesystem::exists(options.out);
  // A run that is cancelled or fails never replaces a complete output: its
  // records are published as NAME.partial.EXT.
  const std::string partial = writes_in_place(options.out) ? "" : partial_file_name(options.out);
  const std::unique_ptr<RecordSink> sink = make_output_sink(
      output, settings.output_file,
      output.format == OutputFormat::kNetcdf ? run_metadata(settings, model, options.command_line)
                                             : OutputMetadata{});
  if (auto* file_sink = dynamic_cast<FileRecordSink*>(sink.get())) {
    file_sink->keep_incomplete_as(partial);
  }
  RunResult result;
  {
    std::stop_source stop;
    const RunProgress progress = [&](int percent, double present_time) {
      bar.update(percent, present_time);
      if (InterruptGuard::interrupted()) {
        stop.request_stop();
        // The run stops now: a second signal no longer cuts short the
        // publishing of its records.
        InterruptGuard::catch_again();
      }
    };
    result = Run(std::move(model), settings, *sink, stop.get_token(), progress);
  }
  bar.finish();
  if (!options.save_states.empty()) save_final_states(options.save_states, result, settings);
  if (result.outcome == RunOutcome::kFailed) {
    // The model's message as it is, then when and where the run stopped.
    std::string message = result.failure_message() + "\n" + failure_detail_text(result) +
                          failure_cause_text(result.failure_detail, initial, settings);
    const std::string records = std::to_string(result.records_written) +
                                (result.records_written == 1 ? " record was" : " records were") +
                                " written before the failure";
    const RunFailurePlace place = result.failure_detail.place;
    if (place == RunFailurePlace::kOutput && result.records_written > 0 && !partial.empty()) {
      // The records went to a temporary file, removed with the failure.
      message += "  " + records + "; " +
                 (had_previous_output ? "the previous " + options.out + " is unchanged"
                                      : "no output file was made") +
                 "\n";
    } else if (place != RunFailurePlace::kOutput &&
               (result.records_written > 0 || place == RunFailurePlace::kIntegration ||
                place == RunFailurePlace::kStepEnd)) {
      // The output was begun: what it holds was published apart.
      message += "  the records written so far are" +
                 partial_output_text(options.out, partial, had_previous_output) + "\n";
    }
    message.pop_back();
    throw std::runtime_error(message);
  }
  if (result.outcome == RunOutcome::kCancelled) {
    const std::string by = cancelled_by();
    std::fprintf(stderr,
                 "vindrel-cli: run cancelled%s at time %s; the records written so far are%s\n",
                 by.c_str(), shortest_decimal_text(result.present_time).c_str(),
                 partial_output_text(options.out, partial, had_previous_output).c_str());
    throw CLI::RuntimeError(InterruptGuard::exit_status());
  }
}

}  // namespace

void add_run_command(CLI::App& app, const std::string& command_line) {
  auto* cmd = app.add_subcommand(
      "run", "Run the model from a parameter file and a driver file into an output file");
  auto options = std::make_shared<CommandOptions>();
  options->command_line = command_line;
  cmd->add_option("--par", options->par, "Parameter file (parameters and initial states)")
      ->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  cmd->add_option("--out", options->out, "Output file to create")->required();
  add_run_options(*cmd, options->run);
  add_output_options(*cmd, options->output, "the output file");
  cmd->add_option("--save-states", options->save_states,
                  "Parameter file to write at the end: the parameters and the final states, "
                  "from which a later run continues");
  cmd->callback([options] { run(*options); });
}

}  // namespace vindrel::cli
