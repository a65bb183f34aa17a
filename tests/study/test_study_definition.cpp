// What defines a study: recorded in its results file, compared on resume and
// merge; kept outputs made fresh; the results and metric readers' refusals.
#include <gtest/gtest.h>
#include <unistd.h>

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
#include "study/kept_output.hpp"
#include "study/metric_values.hpp"
#include "study/metrics.hpp"
#include "study/results_file.hpp"
#include "study/study_definition.hpp"
#include "study/study_run.hpp"

namespace vindrel::study {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class StudyDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_TRUE(ReadParamFile(kExamples + "vindrel-example.par", model));
    settings.run.start_time = 1.0;
    settings.run.stop_time = 31.0;
    settings.run.parameter_file = kExamples + "vindrel-example.par";
    settings.run.driver_file = kExamples + "vindrel-example.drr";
    settings.factors = {{"mF", FactorKind::kParameter, 25, 20.0, 60.0}};
    settings.samples.names = {"mF"};
    settings.samples.rows = {{25.0}, {30.0}, {35.0}};
    settings.metrics = metrics({"cf=Cf:last", "nep=process:NEP:integral"});
    settings.results_file = file("results.csv");
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string file(const std::string& name) const { return (fs::path(folder) / name).string(); }
  std::vector<Metric> metrics(const std::vector<std::string>& texts) const {
    return parse_metrics(texts, model, {}, 1.0, 400.0);
  }
  std::string refusal(const Model& base, const StudyRunSettings& other) const {
    try {
      run_study(base, other);
    } catch (const EInOutError& e) {
      return e.what();
    }
    return "";
  }

  // One folder per test process: CTest runs the tests in parallel.
  const std::string folder =
      ::testing::TempDir() + "vindrel_study_definition_" + std::to_string(getpid());
  Model model = make_model();
  StudyRunSettings settings;
};

TEST_F(StudyDefinitionTest, TheResultsFileRecordsTheStudyAboveItsColumns) {
  settings.run.integrator = IntegratorKind::kDopri5;
  settings.run.relative_tolerance = 1e-6;
  settings.run.reset_states = true;
  settings.run.reset_interval = 200;
  model.states[state::Cf].Reset = true;
  model.states[state::Cr].HoldConstant = true;
  run_study(model, settings);
  const std::string text = read_file(settings.results_file);
  const std::string drivers_hash = file_content_hash(kExamples + "vindrel-example.drr");
  EXPECT_EQ(drivers_hash.size(), 7U + 64U);
  const std::string expected_tail =
      "# start: 1\n# stop: 31\n# step: 1\n# output-step: 1\n# repeat-drivers: no\n"
      "# reset-every: 200\n# reset: Cf\n# hold: Cr\n# integrator: dopri5, rtol 1e-06\n"
      "# metric: cf=state:Cf:last\n# metric: nep=process:NEP:integral\n"
      "run,status,message,mF,cf,nep\n0,completed,,25,";
  EXPECT_NE(text.find("# drivers: " + drivers_hash + "  " + kExamples + "vindrel-example.drr\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(expected_tail), std::string::npos) << text;
  EXPECT_TRUE(text.starts_with("# par: sha256 ")) << text;
}

TEST_F(StudyDefinitionTest, AResumeOfAnotherStudyIsRefusedNamingWhatDiffers) {
  settings.samples.rows.resize(1);
  run_study(model, settings);
  const std::string bytes = read_file(settings.results_file);

  StudyRunSettings longer = settings;
  longer.run.stop_time = 61.0;
  longer.run.integrator = IntegratorKind::kFehlberg78;
  EXPECT_EQ(refusal(model, longer),
            settings.results_file +
                ":1: the file holds the results of another study: stop: 31 in the file, 61 in "
                "this study; integrator: rk4, tolerance 1e-08 in the file, rkf78, rtol 5e-08 in "
                "this study; give another results file or remove it");
  StudyRunSettings redefined = settings;
  redefined.metrics = metrics({"cf=Cf:last", "nep=process:NEP:max"});
  EXPECT_NE(refusal(model, redefined)
                .find("metric: cf=state:Cf:last, nep=process:NEP:integral in the file, "
                      "cf=state:Cf:last, nep=process:NEP:max in this study"),
            std::string::npos);
  Model held = model;
  held.states[state::Cr].HoldConstant = true;
  EXPECT_NE(refusal(held, settings).find("hold: none in the file, Cr in this study"),
            std::string::npos);
  // Another driver file's content, under another name.
  std::string drivers = read_file(settings.run.driver_file);
  drivers.back() = drivers.back() == '\n' ? ' ' : '\n';
  write_file(file("other.drr"), drivers);
  StudyRunSettings other_drivers = settings;
  other_drivers.run.driver_file = file("other.drr");
  const std::string message = refusal(model, other_drivers);
  EXPECT_NE(
      message.find("drivers: sha256 " + file_content_hash(settings.run.driver_file).substr(7, 12) +
                   "... in the file, sha256 "),
      std::string::npos)
      << message;
  EXPECT_EQ(read_file(settings.results_file), bytes);

  // The same study, its files named another way and a metric spelled another
  // way, goes on.
  StudyRunSettings same = settings;
  same.run.driver_file = kExamples + "./vindrel-example.drr";
  same.metrics = metrics({"cf=state#1:last", "nep=process:NEP:integral"});
  const StudyOutcome outcome = run_study(model, same);
  EXPECT_EQ(outcome.progress.resumed, 1U);
  EXPECT_EQ(outcome.progress.written, 1U);
}

TEST_F(StudyDefinitionTest, FilesWithoutADefinitionAreReadButNotResumed) {
  write_file(settings.results_file, "run,status,message,mF,cf,nep\n0,completed,,25,6.5,30\n");
  EXPECT_EQ(refusal(model, settings),
            settings.results_file +
                ":1: the file does not record the definition of its study (it was written by an "
                "earlier version of the program), so it cannot be resumed as this study: finish "
                "it with that version, or give another results file");
  const MetricValues values = read_metric_values(settings.results_file, settings.samples, "cf");
  EXPECT_EQ(values.values[0], 6.5);
  EXPECT_EQ(values.missing, (std::vector<std::size_t>{1, 2}));
}

TEST_F(StudyDefinitionTest, MergedPartsMustBeOneStudy) {
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < 2; ++i) {
    StudyRunSettings shard = settings;
    shard.shard = {i, 2};
    shard.results_file = file("part" + std::to_string(i) + ".csv");
    if (i == 1) shard.run.stop_time = 21.0;
    run_study(model, shard);
    parts.push_back(shard.results_file);
  }
  try {
    merge_results(parts, file("merged.csv"));
    FAIL() << "merged";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), parts[1] +
                                         ":1: the parts come from different studies: stop: 31 in " +
                                         parts[0] + ", 21 in " + parts[1]);
  }
  EXPECT_FALSE(fs::exists(file("merged.csv")));

  // A sample file other than the parts' is refused.
  write_file(file("samples.csv"), "mF\n25\n30\n35\n");
  SampleTable samples = settings.samples;
  samples.file_name = file("samples.csv");
  StudyRunSettings from_file = settings;
  from_file.samples = samples;
  from_file.results_file = file("from-file.csv");
  run_study(model, from_file);
  write_file(file("samples.csv"), "mF\n25\n30\n35\n# edited\n");
  try {
    merge_results({from_file.results_file}, file("merged.csv"), &samples);
    FAIL() << "merged";
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find("the parts were run with other samples (sha256 "),
              std::string::npos)
        << e.what();
  }
}

TEST_F(StudyDefinitionTest, KeptOutputsReplaceLinksInsteadOfWritingThroughThem) {
  const std::string kept = file("kept");
  fs::create_directories(kept);
  write_file(file("precious.txt"), "not an output\n");
  fs::create_symlink("../precious.txt", kept + "/run-000000.out");
  fs::create_hard_link(file("precious.txt"), kept + "/run-000001.out");
  settings.keep_outputs = kept;
  settings.samples.rows.resize(2);
  EXPECT_EQ(run_study(model, settings).progress.failed, 0U);
  EXPECT_EQ(read_file(file("precious.txt")), "not an output\n");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kept)) {
    names.push_back(entry.path().filename().string());
    EXPECT_TRUE(entry.is_regular_file() && !entry.is_symlink()) << entry.path();
    EXPECT_TRUE(read_file(entry.path().string()).starts_with("                     Time"))
        << entry.path();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"run-000000.out", "run-000001.out"}));

  EXPECT_EQ(kept_output_run("run-000042.out"), 42U);
  EXPECT_EQ(kept_output_run("run-1234567.out"), 1234567U);
  EXPECT_FALSE(kept_output_run("run-42.out"));
  EXPECT_FALSE(kept_output_run("run-0000042.out"));
  EXPECT_FALSE(kept_output_run(".run-000042.out.1.0"));
}

TEST_F(StudyDefinitionTest, ReadersNameTheLineOfWhatTheyCannotRead) {
  const auto refusal_of = [](const auto& read) -> std::string {
    try {
      read();
    } catch (const EInOutError& e) {
      return e.what();
    }
    return "";
  };
  const std::string columns = "run,status,message,mF,cf\n";
  EXPECT_EQ(refusal_of([&] { parse_results("# stop 31\n" + columns, "r.csv"); }),
            "r.csv:1: expected a line of the study's definition, \"# KEY: VALUE\", found \"# "
            "stop 31\"");
  // Carriage returns ending a line are not part of its value.
  EXPECT_EQ(
      definition_text(parse_definition("# reset-every: no\r\r\r\n# stop: 800\r\n", "r.csv", 1)),
      "# reset-every: no\n# stop: 800\n");
  // A key whose value is only blanks would be written back as a line no reader takes.
  EXPECT_EQ(refusal_of([&] { parse_results("# samples:   \n" + columns, "r.csv"); }),
            "r.csv:1: expected a line of the study's definition, \"# KEY: VALUE\", found \"# "
            "samples:   \"");
  EXPECT_EQ(
      refusal_of([&] { parse_results("# stop: 31\n" + columns + "0,done,,25,1\n", "r.csv"); }),
      "r.csv:3: unknown status \"done\" of run 0: expected completed or failed");
  for (const char* bad : {"abc", "1.5e"}) {
    write_file(settings.results_file,
               columns + "0,completed,,25,nan\n1,completed,,30," + bad + "\n");
    EXPECT_EQ(
        refusal_of([&] { read_metric_values(settings.results_file, settings.samples, "cf"); }),
        settings.results_file + ":3: expected a number or nan for \"cf\" of run 1, found \"" + bad +
            "\"");
  }
  // A sample that lost its last row is blamed for the run it lacks.
  write_file(settings.results_file,
             columns + "0,completed,,25,1\n1,completed,,30,2\n2,completed,,35,3\n");
  SampleTable short_sample = settings.samples;
  short_sample.rows.pop_back();
  short_sample.file_name = "s.csv";
  EXPECT_EQ(refusal_of([&] { read_metric_values(settings.results_file, short_sample, "cf"); }),
            "s.csv: the sample ends after 2 rows but " + settings.results_file +
                ":4 holds run 2: the sample is missing its last rows, or the results are those "
                "of another sample");
}

}  // namespace
}  // namespace vindrel::study
