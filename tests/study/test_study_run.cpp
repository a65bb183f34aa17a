// Study runs: metrics against the records they reduce, the results file's
// bytes whatever the threads, shards and interruptions, failures recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "study/metrics.hpp"
#include "study/results_file.hpp"
#include "study/study_run.hpp"

namespace vindrel::study {
namespace {

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

Model example_model() {
  Model model = make_model();
  if (!ReadParamFile(kExamples + "vindrel-example.par", model)) {
    throw std::runtime_error("the example parameter file was refused");
  }
  return model;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string scratch(const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / "vindrel_study_run";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / name).string();
  std::filesystem::remove_all(path);
  return path;
}

std::string metric_refusal(const std::string& text) {
  try {
    parse_metrics({text}, make_model(), {"run", "status", "message", "mF"}, 1.0, 10980.0);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(StudyMetrics, NamesResolveToSummaryFiguresAndOutputColumns) {
  const Model model = make_model();
  const Metric nep = parse_metric("nep=NEP:mean:years=21-30", model);
  EXPECT_EQ(nep.table, MetricTable::kSummary);
  EXPECT_EQ(nep.first_year, 21);
  EXPECT_EQ(nep.last_year, 30);
  EXPECT_EQ(parse_metric("d=process:NEP:integral", model).table, MetricTable::kProcess);
  EXPECT_EQ(parse_metric("d=process:NEP:integral", model).position,
            static_cast<std::size_t>(process::NEP));
  EXPECT_EQ(parse_metric("c=state#1:last", model).position, static_cast<std::size_t>(state::Cf));
  EXPECT_EQ(parse_metric("c=Cf:max:years=3", model).last_year, 3);
  EXPECT_EQ(parse_metric("s=SoilC:last", model).table, MetricTable::kSummaryWide);
  EXPECT_EQ(parse_metric("t=driver:Ts:min", model).table, MetricTable::kDriver);
}

TEST(StudyMetrics, BadExpressionsAreRefusedWithWhatWasExpected) {
  EXPECT_NE(metric_refusal("NEP:mean").find("expected NAME=VARIABLE:REDUCTION"), std::string::npos);
  EXPECT_NE(metric_refusal("n=NEP").find("no reduction after \"NEP\""), std::string::npos);
  EXPECT_NE(metric_refusal("n=NEP:average")
                .find("\"average\" is not a reduction; expected last, "
                      "mean, min, max or integral"),
            std::string::npos);
  EXPECT_NE(metric_refusal("n=Nope:mean")
                .find("unknown output variable \"Nope\": expected a symbol (LAI), "),
            std::string::npos);
  // Ts is a driver and a process; RrmetL names two processes.
  EXPECT_NE(metric_refusal("t=Ts:mean").find("it names driver:Ts, process:Ts; name one of them"),
            std::string::npos);
  EXPECT_NE(
      metric_refusal("r=RrmetL:mean").find("it names process#99, process#100; name one of them"),
      std::string::npos);
  EXPECT_NE(
      metric_refusal("p=process#5:mean").find("process#N takes a whole number N from 56 to 189"),
      std::string::npos);
  EXPECT_NE(metric_refusal("n=Nope:mean").find(", or a summary figure: LAI GPP NPP"),
            std::string::npos);
  EXPECT_NE(metric_refusal("t=Time:last").find("the time is not a variable to reduce"),
            std::string::npos);
  EXPECT_NE(metric_refusal("p=table:Cf:mean").find("\"table\" is not a table"), std::string::npos);
  EXPECT_NE(metric_refusal("n=NEP:mean:years=5-2").find("not a window of model years"),
            std::string::npos);
  EXPECT_NE(metric_refusal("n=NEP:mean:years=21-40").find("covers model years 1 to 30 only"),
            std::string::npos);
  EXPECT_NE(metric_refusal("n=NEP:mean:weeks=1").find("expected years=A-B"), std::string::npos);
  EXPECT_NE(metric_refusal("n,1=NEP:mean").find("the name \"n,1\" must be"), std::string::npos);
  EXPECT_NE(metric_refusal("mF=NEP:mean").find("already a column"), std::string::npos);
  EXPECT_EQ(metric_refusal("n=summary:NEP:last:years=30"), "");
}

// The metrics of a run against the same run's records in memory.
TEST(StudyMetrics, ReduceTheRecordsOfTheRun) {
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 3 * 366.0;
  settings.driver_file = kExamples + "vindrel-example.drr";
  const Model model = example_model();
  const std::vector<Metric> metrics = parse_metrics(
      {"last=Cf:last", "mean=process:LAI:mean:years=2", "min=Ws:min", "max=process:LAI:max",
       "flux=process:NEP:integral:years=2-3", "nep=NEP:mean:years=2-3", "gpp=GPP:integral"},
      model, {}, settings.start_time, settings.stop_time);
  OutputTable table;
  MetricSink sink(metrics, settings.start_time, &table);
  ASSERT_EQ(vindrel::Run(model, settings, sink).outcome, RunOutcome::kCompleted);
  const std::vector<double> values = sink.values();

  const std::size_t cf = 1 + 18;  // the time and 18 drivers, then the states
  const std::size_t ws = cf + state::Ws - 1;
  const std::size_t lai = cf + 55 + (process::LAI - 56);
  const std::size_t nep = cf + 55 + (process::NEP - 56);
  double lai_sum = 0.0, lai_max = 0.0, ws_min = 1e300, flux = 0.0;
  int lai_count = 0;
  for (std::size_t r = 0; r < table.rows(); ++r) {
    const double t = table.at(r, 0);
    if (t > 366.0 && t <= 732.0) {
      lai_sum += table.at(r, lai);
      ++lai_count;
    }
    if (t > 366.0) flux += table.at(r, nep);  // daily records
    lai_max = std::max(lai_max, table.at(r, lai));
    ws_min = std::min(ws_min, table.at(r, ws));
  }
  const std::vector<YearFigures> years = summarise_records(table, model.ModelInfo);
  ASSERT_EQ(years.size(), 3U);
  EXPECT_EQ(values[0], table.at(table.rows() - 1, cf));
  EXPECT_DOUBLE_EQ(values[1], lai_sum / lai_count);
  EXPECT_EQ(values[2], ws_min);
  EXPECT_EQ(values[3], lai_max);
  EXPECT_DOUBLE_EQ(values[4], flux);
  EXPECT_DOUBLE_EQ(values[5], (years[1].nep + years[2].nep) / 2.0);
  EXPECT_DOUBLE_EQ(values[6], years[0].gpp + years[1].gpp + years[2].gpp);
  // The daily NEP summed over two years is close to the two yearly totals.
  EXPECT_NEAR(values[4], years[1].nep + years[2].nep, 0.02 * std::abs(values[4]));

  // Records every five days: each counts for the five days that end at it
  // (the first year ends on a record: 1 + 73 x 5 = 366), and the second year,
  // cut short, gives no summary figure.
  settings.output_step = 5.0;
  settings.stop_time = 400.0;
  const std::vector<Metric> sparse =
      parse_metrics({"flux=process:NEP:integral", "nep=NEP:mean"}, model, {}, 1.0, 400.0);
  OutputTable every_fifth;
  MetricSink sparse_sink(sparse, settings.start_time, &every_fifth);
  ASSERT_EQ(vindrel::Run(model, settings, sparse_sink).outcome, RunOutcome::kCompleted);
  double sparse_flux = 0.0;
  for (std::size_t r = 0; r < every_fifth.rows(); ++r) sparse_flux += 5.0 * every_fifth.at(r, nep);
  const std::vector<double> sparse_values = sparse_sink.values();
  EXPECT_DOUBLE_EQ(sparse_values[0], sparse_flux);
  const std::vector<YearFigures> sparse_years = summarise_records(every_fifth, model.ModelInfo);
  ASSERT_EQ(sparse_years.size(), 2U);
  EXPECT_TRUE(sparse_years[0].complete);
  EXPECT_FALSE(sparse_years[1].complete);
  EXPECT_EQ(sparse_values[1], sparse_years[0].nep);
}

StudyRunSettings small_study(const std::string& results, std::size_t rows) {
  StudyRunSettings settings;
  settings.run.start_time = 1.0;
  settings.run.stop_time = 61.0;
  settings.run.driver_file = kExamples + "vindrel-example.drr";
  const Model model = example_model();
  settings.factors = {{"mF", FactorKind::kParameter, 25, 20.0, 60.0},
                      {"Cf", FactorKind::kState, state::Cf, 1.0, 10.0}};
  settings.samples.names = {"mF", "Cf"};
  for (std::size_t i = 0; i < rows; ++i) {
    settings.samples.rows.push_back(
        {20.0 + 3.25 * static_cast<double>(i), 1.0 + 0.5 * static_cast<double>(i % 7)});
  }
  settings.metrics = parse_metrics(
      {"cf=Cf:last", "lai=process:LAI:max", "nep=process:NEP:integral"}, model, {}, 1.0, 61.0);
  settings.results_file = results;
  return settings;
}

TEST(StudyRun, ResultsAreTheSameBytesForAnyNumberOfJobsAndAFailureIsRecorded) {
  const Model model = example_model();
  ASSERT_EQ(model.parameters[25].symbol, "mF");
  StudyRunSettings one = small_study(scratch("jobs1.csv"), 9);
  one.samples.rows[4][0] = 0.0;  // no foliage density: a division by zero at the start
  one.jobs = 1;
  const StudyOutcome first = run_study(model, one);
  EXPECT_EQ(first.progress.written, 9U);
  EXPECT_EQ(first.progress.failed, 1U);
  EXPECT_FALSE(first.stopped);

  StudyRunSettings three = one;
  three.results_file = scratch("jobs3.csv");
  three.jobs = 3;
  run_study(model, three);
  const std::string bytes = read_file(one.results_file);
  EXPECT_EQ(read_file(three.results_file), bytes);
  const ResultsFile read_back = read_results(one.results_file);
  EXPECT_EQ(read_back.header, "run,status,message,mF,Cf,cf,lai,nep\n");
  EXPECT_EQ(read_back.definition_text, definition_text(study_definition(model, one)));
  const ResultsFile results = read_results(one.results_file);
  ASSERT_EQ(results.rows.size(), 9U);
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(results.rows[i].run, i);
    EXPECT_EQ(results.rows[i].completed(), i != 4) << results.rows[i].text;
  }
  EXPECT_EQ(results.rows[4].text,
            "4,failed,Division by zero (the run stopped at time 1),0,3,nan,nan,nan\n");
}

TEST(StudyRun, TheRunsReadTheDriverFileOnceAtTheStart) {
  const Model model = example_model();
  StudyRunSettings reference = small_study(scratch("read-once-reference.csv"), 8);
  reference.jobs = 1;
  run_study(model, reference);

  // The same study on a copy of the driver file that is spoiled as soon as
  // the first row is written: the later runs still see the records read at
  // the start.
  StudyRunSettings spoiled = reference;
  spoiled.results_file = scratch("read-once.csv");
  spoiled.run.driver_file = scratch("read-once.drr");
  std::filesystem::copy_file(reference.run.driver_file, spoiled.run.driver_file);
  bool spoilt = false;
  const StudyOutcome outcome = run_study(model, spoiled, {}, [&](const StudyProgress& progress) {
    if (progress.written >= 1 && !spoilt) {
      std::ofstream(spoiled.run.driver_file, std::ios::binary) << "Time\r\ndays\r\n1 x\r\n";
      spoilt = true;
    }
  });
  EXPECT_TRUE(spoilt);
  EXPECT_EQ(outcome.progress.failed, 0U);
  const ResultsFile expected = read_results(reference.results_file);
  const ResultsFile results = read_results(spoiled.results_file);
  ASSERT_EQ(results.rows.size(), expected.rows.size());
  for (std::size_t i = 0; i < results.rows.size(); ++i) {
    EXPECT_EQ(results.rows[i].text, expected.rows[i].text);
  }
}

TEST(StudyRun, AStoppedStudyResumesToTheSameBytes) {
  const Model model = example_model();
  StudyRunSettings whole = small_study(scratch("whole.csv"), 12);
  whole.jobs = 2;
  run_study(model, whole);
  const std::string bytes = read_file(whole.results_file);

  // Stopped through the stop token once three rows are written.
  StudyRunSettings stopped = whole;
  stopped.results_file = scratch("stopped.csv");
  std::stop_source stop;
  const StudyOutcome outcome =
      run_study(model, stopped, stop.get_token(), [&](const StudyProgress& progress) {
        if (progress.written >= 3) stop.request_stop();
      });
  EXPECT_TRUE(outcome.stopped);
  EXPECT_GE(outcome.progress.written, 3U);
  EXPECT_LT(outcome.progress.written, 12U);
  const std::string part = read_file(stopped.results_file);
  EXPECT_EQ(part, bytes.substr(0, part.size()));
  const StudyOutcome resumed = run_study(model, stopped);
  EXPECT_EQ(resumed.progress.resumed, outcome.progress.written);
  EXPECT_EQ(read_file(stopped.results_file), bytes);

  // Cut in the middle of a row, as by a kill while writing.
  const std::size_t cut = bytes.find('\n', bytes.size() / 2) + 7;
  { std::ofstream(stopped.results_file, std::ios::binary) << bytes.substr(0, cut); }
  const auto lines_before_rows =
      static_cast<long>(read_results(whole.results_file).definition.size()) + 1;
  const auto whole_rows =
      std::count(bytes.begin(), bytes.begin() + static_cast<long>(cut), '\n') - lines_before_rows;
  EXPECT_EQ(run_study(model, stopped).progress.resumed, static_cast<std::size_t>(whole_rows));
  EXPECT_EQ(read_file(stopped.results_file), bytes);
}

std::string study_refusal(const Model& model, const StudyRunSettings& settings) {
  try {
    run_study(model, settings);
  } catch (const EInOutError& e) {
    return e.what();
  }
  return "";
}

TEST(StudyRun, AStudyWhoseRunsCompleteNoYearOfItsMetricsIsRefusedBeforeAnyRun) {
  const Model model = example_model();
  StudyRunSettings settings = small_study(scratch("short.csv"), 2);
  settings.run.stop_time = 365.0;  // the first model year ends at day 366
  settings.metrics = parse_metrics({"nep=NEP:mean"}, model, {}, 1.0, 365.0);
  try {
    run_study(model, settings);
    FAIL() << "the study ran";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()),
              "metric \"nep=NEP:mean\": the run from 1 to 365 with an output step of 1 days "
              "completes no model year, so every run would end without a value: a year needs the "
              "run's records from its first step to its last day (year 1 ends at day 366)");
  }
  EXPECT_FALSE(std::filesystem::exists(scratch("short.csv")));
  // A year's sums need a record at its end: one every 366 days from day 1 has none.
  settings.run.stop_time = 1100.0;
  settings.run.output_step = 366.0;
  EXPECT_THROW(run_study(model, settings), std::invalid_argument);
  // Metrics of the records themselves are left alone.
  settings.metrics = parse_metrics({"cf=Cf:last"}, model, {}, 1.0, 1100.0);
  EXPECT_NO_THROW(check_metric_years(settings.metrics, 1.0, 365.0, 1.0, 1.0));
}

TEST(StudyRun, TheResultsOfAnotherStudyAreNotResumed) {
  const Model model = example_model();
  StudyRunSettings settings = small_study(scratch("other.csv"), 4);
  run_study(model, settings);
  const std::string bytes = read_file(settings.results_file);

  StudyRunSettings other_metrics = settings;
  other_metrics.metrics.pop_back();
  EXPECT_NE(study_refusal(model, other_metrics).find("results of another study"),
            std::string::npos);
  StudyRunSettings other_sample = settings;
  other_sample.samples.rows[2][1] = 9.5;
  EXPECT_NE(
      study_refusal(model, other_sample).find("run 2 has Cf = 2 where the sample's row has 9.5"),
      std::string::npos);
  StudyRunSettings other_shard = settings;
  other_shard.shard = {1, 2};
  EXPECT_NE(
      study_refusal(model, other_shard).find("expected run 1 of this study's rows, found run 0"),
      std::string::npos);
  EXPECT_EQ(read_file(settings.results_file), bytes);  // nothing written
}

TEST(StudyRun, ShardsMergeIntoTheBytesOfTheWholeStudy) {
  const Model model = example_model();
  StudyRunSettings whole = small_study(scratch("unsharded.csv"), 10);
  run_study(model, whole);
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < 3; ++i) {
    StudyRunSettings shard = whole;
    shard.shard = {i, 3};
    shard.results_file = scratch("part" + std::to_string(i) + ".csv");
    EXPECT_EQ(run_study(model, shard).progress.total, i == 0 ? 4U : 3U);
    parts.push_back(shard.results_file);
  }
  const std::string merged = scratch("merged.csv");
  merge_results({parts[2], parts[0], parts[1]}, merged, &whole.samples);
  EXPECT_EQ(read_file(merged), read_file(whole.results_file));

  const auto merge_refusal = [&](const std::vector<std::string>& files) -> std::string {
    try {
      merge_results(files, scratch("refused.csv"), &whole.samples);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_NE(merge_refusal({parts[0], parts[1]}).find("runs 2, 5, 8 are in no part"),
            std::string::npos);
  EXPECT_NE(merge_refusal({parts[0], parts[1], parts[2], parts[1]}).find("the parts overlap"),
            std::string::npos);
  // The last rows are missing: found with the sample, and without it by the
  // count of rows the parts record.
  const std::string part0 = read_file(parts[0]);
  {
    std::ofstream(parts[0], std::ios::binary)
        << part0.substr(0, part0.rfind('\n', part0.size() - 2) + 1);
  }
  EXPECT_NE(merge_refusal({parts[0], parts[1], parts[2]}).find("run 9 is in no part"),
            std::string::npos);
  EXPECT_THROW(merge_results({parts[0], parts[1], parts[2]}, scratch("refused.csv")),
               std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(scratch("refused.csv")));
  StudyRunSettings other = whole;
  other.metrics.pop_back();
  other.results_file = scratch("other-header.csv");
  other.samples.rows.resize(1);
  run_study(model, other);
  EXPECT_NE(
      merge_refusal({parts[1], other.results_file})
          .find("metric: cf=state:Cf:last, "
                "lai=process:LAI:max, nep=process:NEP:integral in " +
                parts[1] + ", cf=state:Cf:last, lai=process:LAI:max in " + other.results_file),
      std::string::npos);
}

TEST(StudyRun, AMergeOfAPartWithAHugeRunNumberSaysWhatIsMissingAtOnce) {
  // A run number as large as a results file may hold: the runs missing before
  // it are counted from the gap, not listed one by one.
  const std::string part = scratch("huge-run.csv");
  std::ofstream(part, std::ios::binary) << "run,status,message,x,y\n"
                                           "2,completed,,0.5,1.25\n"
                                           "14589161220475278675,completed,,0.5,1.25\n";
  try {
    merge_results({part}, scratch("huge-merged.csv"));
    FAIL() << "merged";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("runs 0, 1, 3, 4, 5"), std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(scratch("huge-merged.csv")));
}

}  // namespace
}  // namespace vindrel::study
