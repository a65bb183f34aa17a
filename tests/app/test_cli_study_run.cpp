// vindrel-cli study run and study merge: each run as vindrel-cli run makes it,
// the results file's bytes whatever the jobs, shards and interruptions, and
// failures and bad metrics as a user sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/formats/output_format.hpp"
#include "fileio/output_file.hpp"
#include "tests/app/cli_runner.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file;
using testing::run_cli;

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

std::vector<std::string> lines_of(const std::string& text) { return split(text, '\n'); }

// The lines of a results file after the study's definition: the columns and the rows.
std::vector<std::string> table_of(const std::string& text) {
  std::vector<std::string> lines = lines_of(text);
  std::erase_if(lines, [](const std::string& line) { return line.starts_with("#"); });
  return lines;
}

class CliStudyRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    write(factors, "factor,low,high\nmF,20,60\nalphaT,0.05,0.2\n");
    write(samples, "mF,alphaT\n30,0.1\n45,0.12\n55,0.15\n");
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  static void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string file(const std::string& name) const { return folder + "/" + name; }

  // The study's command with the example stand over two model years.
  std::string study(const std::string& results, const std::string& extra = "") const {
    return "study run --par '" + kExamples + "vindrel-example.par' --drivers '" + kExamples +
           "vindrel-example.drr' --samples '" + samples + "' --factors '" + factors +
           "' --start 1 --stop 732 --metric nep=NEP:mean --metric cf=Cf:last --results '" +
           results + "' --quiet " + extra;
  }

  const std::string folder = ::testing::TempDir() + "vindrel_cli_study_" + std::to_string(getpid());
  const std::string factors = file("factors.csv");
  const std::string samples = file("samples.csv");
};

TEST_F(CliStudyRunTest, EachRowRunsAsVindrelCliRunAndItsMetricsComeFromItsRecords) {
  const std::string results = file("results.csv");
  const testing::CliResult ran =
      run_cli(study(results, "--jobs 2 --keep-outputs '" + file("outputs") + "'"));
  ASSERT_EQ(ran.exit_code, 0) << ran.err;
  EXPECT_NE(ran.out.find("study: 3 runs from 1 to 732, rk4, tolerance 1E-8, 2 jobs: 3 completed, "
                         "0 failed"),
            std::string::npos)
      << ran.out;
  const std::vector<std::string> rows = table_of(read_whole_file(results));
  ASSERT_EQ(rows.size(), 4U);
  EXPECT_EQ(rows[0], "run,status,message,mF,alphaT,nep,cf");

  const std::vector<std::pair<std::string, std::string>> values = {
      {"30", "0.1"}, {"45", "0.12"}, {"55", "0.15"}};
  const std::string base_values = read_whole_file(kExamples + "vindrel-example.values");
  for (std::size_t i = 0; i < 3; ++i) {
    // The same run by hand: the example's values with the row's two set.
    std::string list;
    for (const std::string& line : lines_of(base_values)) {
      if (line.starts_with("mF ")) {
        list += "mF " + values[i].first + "\n";
      } else if (line.starts_with("alphaT ")) {
        list += "alphaT " + values[i].second + "\n";
      } else {
        list += line + "\n";
      }
    }
    const std::string row_values = file("row.values");
    const std::string row_par = file("row.par");
    const std::string row_out = file("row.out");
    write(row_values, list);
    ASSERT_EQ(run_cli("par --values '" + row_values + "' --out '" + row_par + "'").exit_code, 0);
    ASSERT_EQ(run_cli("run --quiet --par '" + row_par + "' --drivers '" + kExamples +
                      "vindrel-example.drr' --start 1 --stop 732 --out '" + row_out + "'")
                  .exit_code,
              0);
    const std::string kept = file("outputs/run-00000" + std::to_string(i) + ".out");
    EXPECT_EQ(read_whole_file(kept), read_whole_file(row_out)) << kept;

    const std::vector<std::string> fields = split(rows[i + 1], ',');
    ASSERT_EQ(fields.size(), 7U) << rows[i + 1];
    EXPECT_EQ(fields[0] + fields[1] + fields[2], std::to_string(i) + "completed");
    EXPECT_EQ(fields[3] + "," + fields[4], values[i].first + "," + values[i].second);
    // nep: the mean of the summary's two yearly NEP figures.
    const testing::CliResult summary = run_cli("summary --csv '" + row_out + "'");
    const std::vector<std::string> years = lines_of(summary.out);
    ASSERT_EQ(years.size(), 3U) << summary.out;
    ASSERT_EQ(split(years[0], ',')[4], "NEP_gC");
    const double nep =
        (std::stod(split(years[1], ',')[4]) + std::stod(split(years[2], ',')[4])) / 2.0;
    EXPECT_NEAR(std::stod(fields[5]), nep, 1e-9 * std::abs(nep));
    // cf: the foliar carbon of the output file's last record, which holds 14
    // significant digits.
    Model model = make_model();
    OutputFileReader reader;
    reader.open(row_out);
    double time = 0.0;
    double last_cf = 0.0;
    while (reader.read_record(time, model)) last_cf = model.states[1].value;
    EXPECT_NEAR(std::stod(fields[6]), last_cf, 1e-13 * std::abs(last_cf));
  }
}

TEST_F(CliStudyRunTest, JobsShardsAndResumingGiveTheSameBytes) {
  const std::string one = file("one.csv");
  ASSERT_EQ(run_cli(study(one, "--jobs 1")).exit_code, 0);
  const std::string bytes = read_whole_file(one);
  const std::string two = file("two.csv");
  ASSERT_EQ(run_cli(study(two, "--jobs 2")).exit_code, 0);
  EXPECT_EQ(read_whole_file(two), bytes);

  // A results file cut inside its second row, as a study killed while writing
  // leaves it: the run again completes it.
  const std::string cut = file("cut.csv");
  const std::size_t columns = bytes.find("\nrun,status,message,") + 1;
  write(cut, bytes.substr(0, bytes.find('\n', bytes.find('\n', columns) + 1) + 9));
  const testing::CliResult resumed = run_cli(study(cut));
  EXPECT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_NE(resumed.out.find("1 of them recorded before"), std::string::npos) << resumed.out;
  EXPECT_EQ(read_whole_file(cut), bytes);

  std::string parts;
  for (int i = 0; i < 2; ++i) {
    const std::string part = file("part" + std::to_string(i) + ".csv");
    ASSERT_EQ(run_cli(study(part, "--shard " + std::to_string(i) + "/2")).exit_code, 0);
    parts += " '" + part + "'";
  }
  const std::string merged = file("merged.csv");
  const testing::CliResult merge =
      run_cli("study merge" + parts + " --out '" + merged + "' --samples '" + samples +
              "' --factors '" + factors + "'");
  EXPECT_EQ(merge.exit_code, 0) << merge.err;
  EXPECT_EQ(read_whole_file(merged), bytes);
  const testing::CliResult half =
      run_cli("study merge '" + file("part0.csv") + "' --out '" + merged + "'");
  EXPECT_EQ(half.exit_code, 1);
  EXPECT_NE(half.err.find("run 1 is in no part"), std::string::npos) << half.err;
  EXPECT_EQ(run_cli(study(one, "--shard 2/2")).err,
            "vindrel-cli: error: --shard: expected I/N with 0 <= I < N (shard 0/4 runs rows 0, "
            "4, 8, ...), found \"2/2\"\n");
}

TEST_F(CliStudyRunTest, AFailedRunIsRecordedAndCountedInTheExitStatus) {
  write(samples, "mF,alphaT\n30,0.1\n0,0.12\n55,0.15\n");
  const std::string results = file("failing.csv");
  const testing::CliResult ran = run_cli(study(results, "--jobs 2"));
  EXPECT_EQ(ran.exit_code, 3);
  EXPECT_EQ(ran.err, "vindrel-cli: 1 of 3 runs failed\n");
  const std::vector<std::string> rows = table_of(read_whole_file(results));
  ASSERT_EQ(rows.size(), 4U);
  EXPECT_EQ(rows[2], "1,failed,Division by zero (the run stopped at time 1),0,0.12,nan,nan");
  EXPECT_TRUE(rows[1].starts_with("0,completed,,30,0.1,"));
  EXPECT_TRUE(rows[3].starts_with("2,completed,,55,0.15,"));
}

TEST_F(CliStudyRunTest, BadMetricsAndOtherStudiesResultsAreRefusedBeforeAnyRun) {
  const std::string results = file("refused.csv");
  const testing::CliResult bad = run_cli(study(results, "--metric 'lai=LAI:median'"));
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.err,
            "vindrel-cli: error: --metric: metric \"lai=LAI:median\": \"median\" is not a "
            "reduction; expected last, mean, min, max or integral\n");
  EXPECT_FALSE(std::filesystem::exists(results));
  const testing::CliResult window = run_cli(study(results, "--metric 'late=NEP:mean:years=2-3'"));
  EXPECT_NE(window.err.find("the run covers model years 1 to 2 only"), std::string::npos)
      << window.err;

  // Results written before studies recorded their definition.
  write(results, "run,status,message,mF,alphaT,gpp\n0,completed,,30,0.1,1400\n");
  const testing::CliResult other = run_cli(study(results));
  EXPECT_EQ(other.exit_code, 1);
  EXPECT_NE(other.err.find("refused.csv:1: the file does not record the definition of its study"),
            std::string::npos)
      << other.err;
  EXPECT_EQ(read_whole_file(results),
            "run,status,message,mF,alphaT,gpp\n0,completed,,30,0.1,1400\n");
}

// study run takes the run options of run, checked with the same messages.
TEST_F(CliStudyRunTest, RunOptionsAreCheckedAsRunChecksThem) {
  const std::string results = file("options.csv");
  const std::string run = "run --par '" + kExamples + "vindrel-example.par' --drivers '" +
                          kExamples + "vindrel-example.drr' --out '" + file("run.out") +
                          "' --start 1 --stop 732 ";
  for (const std::string options :
       {"--rtol nan", "--integrator dopri5 --rtol 1", "--step 0", "--reset-every 0 --reset Cf",
        "--hold Qq", "--repeat-drivers -5", "--output-step inf"}) {
    SCOPED_TRACE(options);
    const testing::CliResult in_study = run_cli(study(results, options));
    const testing::CliResult in_run = run_cli(run + options);
    EXPECT_EQ(in_study.exit_code, 2);
    EXPECT_EQ(in_study.err, in_run.err);
    EXPECT_EQ(in_run.err.rfind("vindrel-cli: error: --", 0), 0U) << in_run.err;
  }
  EXPECT_EQ(run_cli(run + "--rtol nan").err,
            "vindrel-cli: error: --rtol: expected a relative tolerance greater than 0 and less "
            "than 1, found Nan\n");
  EXPECT_FALSE(std::filesystem::exists(results));
  EXPECT_FALSE(std::filesystem::exists(file("run.out")));

  // A state held constant keeps its starting value in every run's records.
  const testing::CliResult held =
      run_cli(study(results, "--hold Cf --keep-outputs '" + file("held") + "'"));
  ASSERT_EQ(held.exit_code, 0) << held.err;
  for (int row = 0; row < 3; ++row) {
    Model model = make_model();
    OutputFileReader reader;
    reader.open(file("held/run-00000" + std::to_string(row) + ".out"));
    double time = 0.0;
    std::vector<double> foliar_carbon;
    while (reader.read_record(time, model)) foliar_carbon.push_back(model.states[1].value);
    ASSERT_EQ(foliar_carbon.size(), 731U);
    EXPECT_EQ(foliar_carbon.front(), foliar_carbon.back());
  }
}

TEST_F(CliStudyRunTest, AResumeWithOtherOptionsIsRefusedNamingThem) {
  const std::string results = file("stopped.csv");
  write(samples, "mF,alphaT\n30,0.1\n");
  ASSERT_EQ(run_cli(study(results)).exit_code, 0);
  const std::string bytes = read_whole_file(results);
  write(samples, "mF,alphaT\n30,0.1\n45,0.12\n");
  std::string command = study(results, "--integrator dopri5 --metric 'lai=LAI:mean'");
  command.replace(command.find("--stop 732"), 10, "--stop 1098");
  const testing::CliResult longer = run_cli(command);
  EXPECT_EQ(longer.exit_code, 1);
  EXPECT_EQ(longer.err.substr(longer.err.find("stop:")),
            "stop: 732 in the file, 1098 in this study; integrator: rk4, tolerance 1e-08 in the "
            "file, dopri5, rtol 5e-08 in this study; metric: nep=summary:NEP:mean, "
            "cf=state:Cf:last in the file, nep=summary:NEP:mean, cf=state:Cf:last, "
            "lai=summary:LAI:mean in this study; give another results file or remove it\n");
  EXPECT_TRUE(longer.err.starts_with("vindrel-cli: error: " + results +
                                     ":1: the file holds the results of another study: samples: "
                                     "sha256 "))
      << longer.err;
  EXPECT_EQ(read_whole_file(results), bytes);
  // The same sample again: the study goes on.
  write(samples, "mF,alphaT\n30,0.1\n");
  const testing::CliResult again = run_cli(study(results));
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(read_whole_file(results), bytes);
}

TEST_F(CliStudyRunTest, OutputsThatAreInputsAreRefusedBeforeAnyRun) {
  // A kept output that is a link to the study's own parameter file.
  const std::string par = file("base.par");
  std::filesystem::copy_file(kExamples + "vindrel-example.par", par);
  const std::string par_bytes = read_whole_file(par);
  std::filesystem::create_directories(file("kept"));
  std::filesystem::create_symlink("../base.par", file("kept/run-000000.out"));
  std::string command = study(file("results.csv"), "--keep-outputs '" + file("kept") + "'");
  command.replace(command.find(kExamples + "vindrel-example.par"),
                  (kExamples + "vindrel-example.par").size(), par);
  const testing::CliResult linked = run_cli(command);
  EXPECT_EQ(linked.exit_code, 1);
  EXPECT_EQ(linked.err, "vindrel-cli: error: --keep-outputs would write " +
                            file("kept/run-000000.out") + ", which is the same file as --par (" +
                            par +
                            "); an output never replaces an input: choose another folder for "
                            "--keep-outputs\n");
  EXPECT_EQ(read_whole_file(par), par_bytes);
  EXPECT_FALSE(std::filesystem::exists(file("results.csv")));
  // The results file among the kept outputs.
  const testing::CliResult inside =
      run_cli(study(file("kept/run-000002.out"), "--keep-outputs '" + file("kept") + "'"));
  EXPECT_EQ(inside.err,
            "vindrel-cli: error: --keep-outputs would write " + file("kept/run-000002.out") +
                ", which is the same file as --results (" + file("kept/run-000002.out") +
                "); each output needs a file of its own\n");
  // A merge's output over its sample file.
  const testing::CliResult merge =
      run_cli("study merge '" + file("results.csv") + "' --samples '" + samples + "' --factors '" +
              factors + "' --out '" + samples + "'");
  EXPECT_EQ(merge.exit_code, 1);
  EXPECT_EQ(merge.err, "vindrel-cli: error: --out and --samples name the same file, " + samples +
                           "; an output never replaces an input: choose another file for --out\n");
}

// SIGTERM (a batch system's time limit) stops a study as Ctrl-C does: whole
// rows, exit 143, and the same command goes on where it stopped.
TEST_F(CliStudyRunTest, SigtermStopsAfterWholeRowsAndTheStudyResumes) {
  std::string rows = "mF,alphaT\n";
  for (int i = 0; i < 30; ++i) rows += std::to_string(30 + i % 20) + ",0.1\n";
  write(samples, rows);
  const std::string results = file("stopped.csv");
  const std::string err = file("stopped.err");
  const std::string command =
      std::string("'") + VINDREL_CLI + "' " + study(results, "--jobs 1") + " 2>'" + err +
      "' & pid=$!; for i in $(seq 1200); do [ \"$(grep -c '^[0-9]' '" + results +
      "' 2>/dev/null)\" -ge 3 ] 2>/dev/null && break; sleep 0.05; done; kill -TERM $pid; wait $pid";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 143);
  EXPECT_NE(read_whole_file(err).find("vindrel-cli: study interrupted; "), std::string::npos)
      << read_whole_file(err);
  const std::string stopped = read_whole_file(results);
  ASSERT_FALSE(stopped.empty());
  EXPECT_EQ(stopped.back(), '\n') << "whole rows only";
  std::size_t done = 0;
  for (const std::string& line : lines_of(stopped))
    done += !line.empty() && line[0] != '#' && line[0] != 'r';
  EXPECT_GE(done, 3U);
  EXPECT_LT(done, 30U) << "stopped before the end";

  const testing::CliResult resumed = run_cli(study(results, "--jobs 1"));
  ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
  std::vector<std::string> indices;
  for (const std::string& line : lines_of(read_whole_file(results))) {
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') indices.push_back(split(line, ',')[0]);
  }
  ASSERT_EQ(indices.size(), 30U);
  for (std::size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], std::to_string(i));
}

// A study that finds its results file held by another process (the lock
// taken here as another study's would be) is refused before any run, and the
// other study's rows are left as they were.
TEST_F(CliStudyRunTest, ASecondStudyOnTheSameResultsIsRefused) {
  const std::string results = file("shared.csv");
  const testing::CliResult first = run_cli(study(results, "--jobs 1"));
  ASSERT_EQ(first.exit_code, 0) << first.err;
  const std::string before = read_whole_file(results);
  const int held = ::open(file(".shared.csv.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  write(samples, "mF,alphaT\n31,0.1\n");
  const testing::CliResult second = run_cli(study(results, "--jobs 1"));
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err, "vindrel-cli: error: --results: another run is writing " + results +
                            "; wait for it to end or choose another file\n");
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(read_whole_file(results), before);
  ::close(held);
}

// The file names a study leaves in a folder, hidden ones included.
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A kept output that cannot be written (the file size limit stands for a
// full disk) stops the study, naming the rows kept; the kept outputs of an
// earlier study stay whole, nothing is left behind, and once there is room
// the same command goes on.
TEST_F(CliStudyRunTest, AFullDiskStopsTheStudyAndKeepsTheEarlierKeptOutputs) {
  const std::string kept = file("kept");
  const testing::CliResult earlier =
      run_cli(study(file("earlier.csv"), "--jobs 1 --keep-outputs '" + kept + "'"));
  ASSERT_EQ(earlier.exit_code, 0) << earlier.err;
  const std::string first_kept = read_whole_file(kept + "/run-000000.out");
  ASSERT_GT(first_kept.size(), 200000U);
  const std::string results = file("full.csv");
  const std::string command = study(results, "--jobs 1 --keep-outputs '" + kept + "'");
  const std::string err = file("full.err");
  const int status = std::system(("trap '' XFSZ; ulimit -f 100; '" + std::string(VINDREL_CLI) +
                                  "' " + command + " 2>'" + err + "'")
                                     .c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(read_whole_file(err), "vindrel-cli: error: " + kept +
                                      "/run-000000.out: Disk full; the study stopped: 0 runs are "
                                      "recorded in " +
                                      results + "; run the same command again to go on\n");
  EXPECT_TRUE(read_whole_file(kept + "/run-000000.out") == first_kept) << "the earlier kept output";
  EXPECT_EQ(names_in(kept),
            (std::vector<std::string>{"run-000000.out", "run-000001.out", "run-000002.out"}));
  EXPECT_FALSE(std::filesystem::exists(file(".full.csv.lock")));
  const testing::CliResult resumed = run_cli(command);
  ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_EQ(table_of(read_whole_file(results)), table_of(read_whole_file(file("earlier.csv"))));
}

// NetCDF outputs on a disk with little room, for a run and for a study that
// keeps them: an error, never a crash, and no temporary file or lock left.
TEST_F(CliStudyRunTest, NetcdfOutputsOnANearlyFullDiskFailCleanly) {
  if (!netcdf_available()) GTEST_SKIP() << "built without NetCDF";
  const std::string kept = file("kept");
  const std::string inputs = "--par '" + kExamples + "vindrel-example.par' --drivers '" +
                             kExamples + "vindrel-example.drr' --quiet ";
  for (const int kib : {0, 5, 10, 20, 50, 100}) {
    SCOPED_TRACE(kib);
    std::filesystem::remove_all(kept);
    const std::string results = file("nc" + std::to_string(kib) + ".csv");
    // Standard error goes through a pipe, which the limit does not reach.
    const std::string limit =
        "(trap '' XFSZ; ulimit -f " + std::to_string(kib) + "; '" + std::string(VINDREL_CLI) + "' ";
    for (const std::string& command :
         {"run " + inputs + "--stop 1000 --out '" + file("run.nc") + "'",
          study(results, "--jobs 2 --format netcdf --keep-outputs '" + kept + "'")}) {
      const std::string err = file("nc.err");
      const int status = std::system(
          (limit + command + " 2>&1 >/dev/null; echo \"exit $?\") | cat >'" + err + "'").c_str());
      ASSERT_EQ(WEXITSTATUS(status), 0);
      const std::string said = read_whole_file(err);
      EXPECT_TRUE(said.ends_with("\nexit 1\n")) << command << "\n" << said;
      EXPECT_NE(said.find("Disk full"), std::string::npos) << said;
    }
    for (const std::string& name : names_in(folder)) {
      EXPECT_FALSE(name.starts_with(".")) << name << " is left behind";
    }
    if (std::filesystem::exists(kept)) {
      EXPECT_EQ(names_in(kept), std::vector<std::string>{});
    }
  }
}

// A metric field that analyze would refuse is refused by merge and by a
// resume, naming the line, and nothing is written.
TEST_F(CliStudyRunTest, MergeAndResumeRefuseAMetricThatIsNotANumber) {
  const std::string results = file("bad.csv");
  write(samples, "mF,alphaT\n30,0.1\n45,0.12\n55,0.15\n56,0.15\n");
  const testing::CliResult first = run_cli(study(results, "--jobs 1 --shard 0/2"));
  ASSERT_EQ(first.exit_code, 0) << first.err;
  const std::string good = read_whole_file(results);
  const std::size_t row = good.find("\n0,completed,") + 1;
  const std::size_t line =
      static_cast<std::size_t>(std::count(good.begin(), good.begin() + row, '\n')) + 1;
  const std::vector<std::string> fields = split(good.substr(row, good.find('\n', row) - row), ',');
  for (const std::string& bad : {std::string("abc"), std::string("1e400"), std::string("1\0", 2)}) {
    SCOPED_TRACE(bad);
    std::string changed = good;
    const std::size_t nep = row + good.substr(row).find("," + fields[5] + ",") + 1;
    changed.replace(nep, fields[5].size(), bad);
    write(results, changed);
    const std::string said = "vindrel-cli: error: " + results + ":" + std::to_string(line) +
                             ": expected a number or nan for \"nep\" of run 0, found \"" +
                             (bad.size() == 2 ? std::string("1\\0") : bad) + "\"\n";
    const testing::CliResult merge =
        run_cli("study merge '" + results + "' --out '" + file("merged.csv") + "'");
    EXPECT_EQ(merge.exit_code, 1);
    EXPECT_EQ(merge.err, said);
    EXPECT_FALSE(std::filesystem::exists(file("merged.csv")));
    const testing::CliResult resume = run_cli(study(results, "--jobs 1 --shard 0/2"));
    EXPECT_EQ(resume.exit_code, 1);
    EXPECT_EQ(resume.err, said);
    EXPECT_EQ(read_whole_file(results), changed);
  }
  // Without the sample, a part that lacks the study's last row is refused.
  write(results, good);
  const testing::CliResult second = run_cli(study(file("bad1.csv"), "--jobs 1 --shard 1/2"));
  ASSERT_EQ(second.exit_code, 0) << second.err;
  const std::string part1 = read_whole_file(file("bad1.csv"));
  write(file("bad1.csv"), part1.substr(0, part1.rfind('\n', part1.size() - 2) + 1));
  const testing::CliResult merge = run_cli("study merge '" + results + "' '" + file("bad1.csv") +
                                           "' --out '" + file("merged.csv") + "'");
  EXPECT_EQ(merge.exit_code, 1);
  EXPECT_NE(merge.err.find("run 3 is in no part"), std::string::npos) << merge.err;
  EXPECT_FALSE(std::filesystem::exists(file("merged.csv")));
}

// A results file an editor saved with CR LF line ends and a byte-order mark
// is resumed, and the study ends with the bytes it has when run in one go.
TEST_F(CliStudyRunTest, AResultsFileWithCrLfAndAByteOrderMarkIsResumed) {
  const std::string whole = file("whole.csv");
  ASSERT_EQ(run_cli(study(whole, "--jobs 1")).exit_code, 0);
  const std::string bytes = read_whole_file(whole);
  std::string edited = "\xEF\xBB\xBF";
  for (const std::string& line : lines_of(bytes.substr(0, bytes.rfind('\n', bytes.size() - 2) + 1)))
    edited += line + "\r\n";
  const std::string results = file("edited.csv");
  write(results, edited);
  const testing::CliResult resumed = run_cli(study(results, "--jobs 1"));
  ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_NE(resumed.out.find("2 of them recorded before"), std::string::npos) << resumed.out;
  EXPECT_EQ(read_whole_file(results), bytes);
}

}  // namespace
}  // namespace vindrel
