// The runs of a study: one run of the model per sample row, on several
// threads, each reduced to its metrics and written as one row of the results
// file, in the sample's order whatever the number of threads.
//
// Each run starts from the base model with the row's factor values set and
// runs exactly as vindrel-cli run does with the same settings (its output file
// kept on request, byte for byte the same). Workers take row indices from one
// counter and run on their own copies of the model and their own sinks; the
// calling thread writes each row as soon as every earlier row is written, so
// only the rows finished ahead of a slower run wait in memory (at most a few
// per worker: a worker does not start a row further ahead than that).
//
// A failed run is recorded (status failed and its message) and the study goes
// on. A stop request (Ctrl-C) ends the runs under way without recording them;
// the rows written stay valid, and the same study started again resumes after
// the last row written, giving the same bytes as a study never stopped.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/table_writer.hpp"
#include "run/run_settings.hpp"
#include "study/factors.hpp"
#include "study/metrics.hpp"
#include "study/samples.hpp"
#include "study/study_definition.hpp"

namespace vindrel::study {

// The rows of one shard: those whose index modulo `count` is `index`.
struct Shard {
  std::size_t index = 0;
  std::size_t count = 1;
};

struct StudyRunSettings {
  // Times, steps, integrator, parameter and driver file of every run; the
  // output file is ignored (see keep_outputs).
  RunSettings run;
  std::vector<Factor> factors;
  std::string factors_file;  // where the factors were read, for the definition
  SampleTable samples;
  std::vector<Metric> metrics;
  std::string results_file;
  unsigned jobs = 1;  // worker threads
  Shard shard;
  // A folder for each run's output file (kept_output_name); empty: none kept.
  std::string keep_outputs;
  // The kept files' format and, for CSV and NetCDF, their columns (positions
  // in the output record; empty: every column) and what a NetCDF file records
  // of the run beside the run's number and its factors' values.
  OutputFormat keep_format = OutputFormat::kOut;
  std::vector<std::size_t> keep_columns;
  OutputMetadata keep_metadata;
};

struct StudyProgress {
  std::size_t total = 0;    // rows of the shard
  std::size_t resumed = 0;  // rows found in the results file at the start
  std::size_t written = 0;  // rows in the results file now, resumed ones included
  std::size_t failed = 0;   // failed rows written by this study (not the resumed ones)
};

// Called on the calling thread after rows are written and a few times a
// second while waiting; it may request a stop (the command line's Ctrl-C).
using StudyProgressCallback = std::function<void(const StudyProgress&)>;

struct StudyOutcome {
  StudyProgress progress;
  std::size_t resumed_failed = 0;  // failed rows among the resumed ones
  bool stopped = false;            // a stop request ended the study before its last row
};

// The rows of `rows` that belong to the shard, in order.
std::vector<std::size_t> shard_rows(std::size_t rows, Shard shard);

// "FOLDER/run-000042.out": the kept output file of a run (six digits or more),
// ".csv" or ".nc" for those formats.
std::string kept_output_name(const std::string& folder, std::size_t run,
                             OutputFormat format = OutputFormat::kOut);

// The run whose kept output file has this name ("run-000042.out", ".csv" or
// ".nc", without the folder), if it is such a name.
std::optional<std::size_t> kept_output_run(std::string_view file_name);

// The results file's column line for these settings.
std::string study_results_header(const StudyRunSettings& settings);

// What defines the study (study_definition.hpp): the content hashes of the
// files named in the settings (parameter, driver, factors and sample file; a
// name left empty is not recorded), the times and steps, the repeat, reset and
// hold options (the states flagged in `base`), the integrator and its
// tolerance and each metric. Throws EInOutError when a named file cannot be read.
StudyDefinition study_definition(const Model& base, const StudyRunSettings& settings);

// A metric in the one spelling of the definition: NAME=TABLE:SYMBOL:REDUCTION
// (TABLE#N when the symbol is not unique), years=A-B when it has a window.
std::string metric_definition(const Metric& metric, const Model& model);

// Runs the study. A results file that exists is resumed: its definition and
// header must be this study's, its rows the first rows of the shard with the
// sample's values (EInOutError naming what differs otherwise, before any run);
// a cut last line is dropped. A file without a definition is not resumed.
// Throws EInOutError when the results file or a kept output cannot be written
// (a full disk): the study stops, the rows written before stay valid, and the
// message says how many there are and that the same command goes on.
StudyOutcome run_study(const Model& base, const StudyRunSettings& settings,
                       std::stop_token stop = {}, const StudyProgressCallback& progress = {});

}  // namespace vindrel::study
