// vindrel-cli study sample and study analyze: files written, reproduced,
// refused, and indices from a results file made here from a known function.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/cli_runner.hpp"

namespace vindrel::testing {
namespace {

class StudySample : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::path(::testing::TempDir()) / ("study_sample_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    write("factors.csv", "factor,low,high\nmF,20,40\nstate:Cf,4,8\n");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  void write(const std::string& name, const std::string& text) const {
    std::FILE* file = std::fopen(path(name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  CliResult study(const std::string& args) const {
    return run_cli("study " + args + " --factors '" + path("factors.csv") + "'");
  }
  CliResult sample(const std::string& method_and_size, const std::string& out) const {
    return study("sample " + method_and_size + " --out '" + path(out) + "'");
  }

  // A results file for the sample `samples`: y = 3 mF - 2 Cf, or a failure for
  // the runs in `failed`.
  void write_results(const std::string& samples, const std::string& name,
                     const std::vector<int>& failed = {}) const {
    const std::string text = read_whole_file(path(samples));
    std::string results = "run,status,message,mF,state:Cf,y\n";
    std::size_t at = text.find('\n') + 1;
    for (int run = 0; at < text.size(); ++run) {
      const std::size_t end = text.find('\n', at);
      const std::string row = text.substr(at, end - at);
      at = end + 1;
      double mf = 0.0, cf = 0.0;
      const std::size_t comma = row.find(',');
      std::from_chars(row.data(), row.data() + comma, mf);
      std::from_chars(row.data() + comma + 1, row.data() + row.size(), cf);
      char y[32];
      *std::to_chars(y, y + 31, 3.0 * mf - 2.0 * cf).ptr = '\0';
      const bool fails = std::find(failed.begin(), failed.end(), run) != failed.end();
      results += std::to_string(run) +
                 (fails ? ",failed,\"Step size too small, at time 12\"," + row + ",nan\n"
                        : ",completed,," + row + "," + y + "\n");
    }
    write(name, results);
  }

  std::filesystem::path folder_;
};

TEST_F(StudySample, WritesTheDesignAndTheSeedReproducesIt) {
  const CliResult result = sample("--method morris --n 5 --seed 7", "a.csv");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "Wrote 15 rows of 2 factors to " + path("a.csv") +
                            ": 5 Morris trajectories of 3 runs on a grid of 4 levels\n");
  const std::string first = read_whole_file(path("a.csv"));
  EXPECT_TRUE(first.starts_with("mF,state:Cf\n"));
  ASSERT_EQ(sample("--method morris --n 5 --seed 7", "b.csv").exit_code, 0);
  EXPECT_EQ(read_whole_file(path("b.csv")), first);
  ASSERT_EQ(sample("--method morris --n 5 --seed 8", "b.csv").exit_code, 0);
  EXPECT_NE(read_whole_file(path("b.csv")), first);

  const CliResult sobol = sample("--method sobol --n 6", "s.csv");
  ASSERT_EQ(sobol.exit_code, 0);
  EXPECT_EQ(sobol.err,
            "vindrel-cli: warning: --n 6 is not a power of two; the Sobol' points are evenly "
            "spread for a power of two: take --n 4 or --n 8\n");
  const std::string rows = read_whole_file(path("s.csv"));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 1 + 6 * 4);
  EXPECT_TRUE(rows.starts_with("mF,state:Cf\n"));
  ASSERT_EQ(sample("--method sobol --n 6 --seed 0", "t.csv").exit_code, 0);
  EXPECT_EQ(read_whole_file(path("t.csv")), rows);
}

TEST_F(StudySample, RefusesBadFilesAndOptionsWithoutWriting) {
  write("factors.csv", "factor,low,high\nmF,20,40\nCf,8,4\n");
  CliResult result = sample("--method lhs --n 4", "a.csv");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "vindrel-cli: error: " + path("factors.csv") +
                            ":3: the low value 8 of \"Cf\" is not below its high value 4\n");
  EXPECT_FALSE(std::filesystem::exists(path("a.csv")));
  write("factors.csv", "factor,low,high\nmF,20,40\n");
  EXPECT_EQ(sample("--method lhs --n 4 --levels 4", "a.csv").err,
            "vindrel-cli: error: --levels: only the morris design has grid levels\n");
  EXPECT_EQ(sample("--method morris --n 4 --levels 5", "a.csv").err,
            "vindrel-cli: error: --levels must be an even number from 2 to 1000, not 5\n");
  EXPECT_EQ(sample("--method grid --n 4", "a.csv").err,
            "vindrel-cli: error: --method: expected oat, morris, sobol or lhs, found \"grid\"\n");
  EXPECT_EQ(sample("--method grid --n 4", "a.csv").exit_code, 2) << "a mistake in the command line";
  EXPECT_FALSE(std::filesystem::exists(path("a.csv")));

  write("factors.csv", "factor,low,high\nmF,20,40\nstate:Cf,4,8\n");
  write("bad.csv", "mF,state:Cf\n30,5\n31,five\n");
  write_results("bad.csv", "results.csv");
  result = study("analyze --method morris --samples '" + path("bad.csv") + "' --results '" +
                 path("results.csv") + "' --metric y");
  EXPECT_EQ(result.err, "vindrel-cli: error: " + path("bad.csv") +
                            ":3: expected a finite number for \"state:Cf\", found \"five\"\n");
}

TEST_F(StudySample, MorrisOfALinearMetricAndItsFailedRuns) {
  ASSERT_EQ(sample("--method morris --n 6 --seed 1", "m.csv").exit_code, 0);
  write_results("m.csv", "results.csv");
  const std::string args = "analyze --method morris --samples '" + path("m.csv") + "' --results '" +
                           path("results.csv") + "' --metric y --levels 4";
  CliResult result = study(args + " --out '" + path("indices.csv") + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  // Effects per range: 3 x 20 for mF, -2 x 4 for Cf, the same in every
  // trajectory (up to rounding).
  const std::string indices = read_whole_file(path("indices.csv"));
  ASSERT_TRUE(indices.starts_with("factor,mu,mu_star,sigma,mu_star_low,mu_star_high\nmF,"));
  std::vector<double> values;  // every number, line by line, after the factor's name
  for (std::size_t at = indices.find('\n') + 1; at < indices.size();) {
    const std::size_t line_end = indices.find('\n', at);
    for (std::size_t comma = indices.find(',', at); comma < line_end;
         comma = indices.find(',', comma + 1)) {
      double value = 0.0;
      std::from_chars(indices.data() + comma + 1, indices.data() + line_end, value);
      values.push_back(value);
    }
    at = line_end + 1;
  }
  const std::vector<double> expected = {60, 60, 0, 60, 60, -8, 8, 0, 8, 8};
  ASSERT_EQ(values.size(), expected.size()) << indices;
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_NEAR(values[i], expected[i], 1e-12);
  EXPECT_NE(result.out.find("\nmF         60             60 .. 60  60"), std::string::npos)
      << result.out;

  write_results("m.csv", "results.csv", {4, 5});  // both in the second trajectory
  result = study(args + " --bootstrap 0");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: 1 of 6 trajectories dropped: runs 4 and 5 failed (run 4: Step "
            "size too small, at time 12)\n");
  EXPECT_NE(result.out.find("5 trajectories (1 dropped)"), std::string::npos);
}

TEST_F(StudySample, SobolNeedsEveryRun) {
  ASSERT_EQ(sample("--method sobol --n 64", "s.csv").exit_code, 0);
  write_results("s.csv", "results.csv", {9, 200});
  const CliResult result =
      study("analyze --method sobol --samples '" + path("s.csv") + "' --results '" +
            path("results.csv") + "' --metric y --out '" + path("indices.csv") + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "vindrel-cli: error: Sobol indices need a value from every run, and runs 9 and 200 "
            "failed (run 9: Step size too small, at time 12)\n");
  EXPECT_FALSE(std::filesystem::exists(path("indices.csv")));
  write_results("s.csv", "results.csv");
  const CliResult complete =
      study("analyze --method sobol --samples '" + path("s.csv") + "' --results '" +
            path("results.csv") + "' --metric y --out '" + path("indices.csv") + "'");
  ASSERT_EQ(complete.exit_code, 0) << complete.err;
  EXPECT_TRUE(read_whole_file(path("indices.csv"))
                  .starts_with("factor,S1,S1_low,S1_high,ST,ST_low,ST_high\nmF,"));
}

TEST_F(StudySample, MessagesCountInTheSingularAndBlameTheSample) {
  const CliResult one = sample("--method morris --n 1 --seed 1", "m.csv");
  EXPECT_EQ(one.out, "Wrote 3 rows of 2 factors to " + path("m.csv") +
                         ": 1 Morris trajectory of 3 runs on a grid of 4 levels\n");
  EXPECT_NE(study("sample --help").out.find("random shift of the Sobol' points"),
            std::string::npos);
  EXPECT_EQ(sample("--method sobol --n 100", "s.csv").err,
            "vindrel-cli: warning: --n 100 is not a power of two; the Sobol' points are evenly "
            "spread for a power of two: take --n 64 or --n 128\n");

  // One trajectory of two, whose last run is not in the results yet.
  ASSERT_EQ(sample("--method morris --n 2 --seed 1", "m.csv").exit_code, 0);
  write_results("m.csv", "results.csv");
  std::string results = read_whole_file(path("results.csv"));
  results.erase(results.rfind('\n', results.size() - 2) + 1);
  write("cut.csv", results);
  const std::string analyze = "analyze --method morris --samples '" + path("m.csv") +
                              "' --bootstrap 0 --metric y --results ";
  const CliResult cut = study(analyze + "'" + path("cut.csv") + "'");
  EXPECT_EQ(cut.exit_code, 0) << cut.err;
  EXPECT_EQ(cut.err, "vindrel-cli: warning: 1 of 2 trajectories dropped: run 5 is not in " +
                         path("cut.csv") + " yet\n");
  EXPECT_NE(cut.out.find("factor: 1 trajectory (1 dropped)"), std::string::npos) << cut.out;

  // The sample lost its last row; the results have it.
  std::string samples = read_whole_file(path("m.csv"));
  samples.erase(samples.rfind('\n', samples.size() - 2) + 1);
  write("short.csv", samples);
  const CliResult short_sample = study("analyze --method morris --samples '" + path("short.csv") +
                                       "' --metric y --results '" + path("results.csv") + "'");
  EXPECT_EQ(short_sample.exit_code, 1);
  EXPECT_EQ(short_sample.err, "vindrel-cli: error: " + path("short.csv") +
                                  ": the sample ends after 5 rows but " + path("results.csv") +
                                  ":7 holds run 5: the sample is missing its last rows, or the "
                                  "results are those of another sample\n");

  // A metric that is not a number.
  results = read_whole_file(path("results.csv"));
  results.replace(results.rfind(',') + 1, std::string::npos, "1.5e\n");
  write("bad.csv", results);
  EXPECT_EQ(study(analyze + "'" + path("bad.csv") + "'").err,
            "vindrel-cli: error: " + path("bad.csv") +
                ":7: expected a number or nan for \"y\" of run 5, found \"1.5e\"\n");
}

}  // namespace
}  // namespace vindrel::testing
