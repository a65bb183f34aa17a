// vindrel-cli run --format and --variables: the CSV and NetCDF outputs hold the
// values of the .out file of the same run, the chosen columns and no others;
// refusals; summary and study run read and keep them; a full disk leaves the
// previous file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/positions.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::run_cli;

constexpr std::size_t kColumns = 208;

class CliOutputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteParamFile(par, support::temperate_forest());
    testing::write_daily_drivers(drr, 1, 800);
  }

  testing::CliResult run_to(const std::string& out, const std::string& options = "") const {
    return run_cli("run --quiet --par '" + par + "' --drivers '" + drr + "' --out '" + out +
                   "' --start 1 --stop 760 " + options);
  }

  // Every record of a file in any format, as rows of the output record.
  static std::vector<std::vector<double>> records(const std::string& file) {
    const Model model = make_model();
    std::vector<std::vector<double>> rows;
    read_output_records(file, model, {}, "the test",
                        [&](const double* row) { rows.emplace_back(row, row + kColumns); });
    return rows;
  }

  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par");
  const std::string drr = folder.file("weather.drr");
};

TEST_F(CliOutputsTest, CsvAndNetcdfHoldTheValuesOfTheOutFileOfTheSameRun) {
  const std::string out = folder.file("run.out");
  ASSERT_EQ(run_to(out).exit_code, 0);
  std::vector<std::string> files{folder.file("run.csv")};
  if (netcdf_available()) files.push_back(folder.file("run.nc"));
  files.push_back(folder.file("run.data"));  // --format names it
  for (const std::string& file : files) {
    const std::string format = file.ends_with(".data") ? "--format csv" : "";
    const testing::CliResult result = run_to(file, format);
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }
  const auto expected = records(out);
  ASSERT_EQ(expected.size(), 759u);
  for (const std::string& file : files) {
    const auto rows = records(file);
    ASSERT_EQ(rows.size(), expected.size()) << file;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t k = 0; k < kColumns; ++k) {
        // The .out file keeps 13 significant digits.
        ASSERT_NEAR(rows[r][k], expected[r][k], 5e-13 * std::fabs(expected[r][k]))
            << file << " record " << r << " column " << k;
      }
    }
  }
  EXPECT_EQ(output_format_of_file(folder.file("run.data")), OutputFormat::kCsv);
  // The .out file is still the model's own text.
  EXPECT_EQ(read_whole_file_bytes(out).substr(0, 26), std::string(21, ' ') + "Time ");
}

TEST_F(CliOutputsTest, ChosenVariablesAreWrittenInTheirOrderAfterTheTime) {
  const std::string csv = folder.file("chosen.csv");
  const testing::CliResult result =
      run_to(csv, "--variables 'LAI, state#1' --variables driver:Ts,Time");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string text = read_whole_file_bytes(csv);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            "time,LAI,Cf,Ts_driver4\ndays,m2 leaf m-2 ground,g C m-2 ground,oC\n");
  const std::string out = folder.file("run.out");
  ASSERT_EQ(run_to(out).exit_code, 0);
  const auto all = records(out);
  const auto chosen = records(csv);
  ASSERT_EQ(chosen.size(), all.size());
  const std::size_t lai = 18 + process::LAI;
  const std::size_t cf = 18 + state::Cf;
  for (std::size_t r = 0; r < all.size(); ++r) {
    EXPECT_NEAR(chosen[r][lai], all[r][lai], 5e-13 * std::fabs(all[r][lai]));
    EXPECT_NEAR(chosen[r][cf], all[r][cf], 5e-13 * std::fabs(all[r][cf]));
    EXPECT_TRUE(std::isnan(chosen[r][18 + state::Cr]));
  }
}

TEST_F(CliOutputsTest, RefusalsNameTheOptionAndWriteNothing) {
  const auto refused = [this](const std::string& out, const std::string& options) {
    const testing::CliResult result = run_to(folder.file(out), options);
    EXPECT_EQ(result.exit_code, 2) << options;  // a mistake in the command line
    EXPECT_FALSE(std::filesystem::exists(folder.file(out))) << options;
    return result.err;
  };
  EXPECT_EQ(refused("run.out", "--variables LAI"),
            "vindrel-cli: error: --variables: the .out format holds every column, as its readers "
            "expect; write chosen variables as CSV or NetCDF (--format csv or netcdf, or an "
            "output name ending in .csv or .nc)\n");
  EXPECT_EQ(refused("run.csv", "--variables LAI,Ts"),
            "vindrel-cli: error: --variables: ambiguous output variable \"Ts\": it names "
            "driver:Ts, process:Ts; name one of them\n");
  EXPECT_EQ(refused("run.csv", "--variables LAI,process:LAI"),
            "vindrel-cli: error: --variables: \"LAI\" and \"process:LAI\" both name process:LAI "
            "in the list \"LAI,process:LAI\"; name each output variable once\n");
  EXPECT_EQ(refused("run.csv", "--variables Time"),
            "vindrel-cli: error: --variables: the list names no column beside the time\n");
  EXPECT_EQ(refused("run.csv", "--format xls"),
            "vindrel-cli: error: --format: \"xls\" is not one of out, csv, netcdf\n");
}

TEST_F(CliOutputsTest, SummaryReadsEachFormatAndNamesTheColumnsItLacks) {
  ASSERT_EQ(run_to(folder.file("run.out")).exit_code, 0);
  ASSERT_EQ(run_to(folder.file("summary.csv"), "--variables summary").exit_code, 0);
  ASSERT_EQ(run_to(folder.file("lai.csv"), "--variables LAI,NepT").exit_code, 0);
  // The table without its title, which names the file.
  const auto table = [this](const std::string& file, const std::string& options) {
    const testing::CliResult result =
        run_cli("summary " + options + " '" + folder.file(file) + "'");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return result.out.substr(result.out.find('\n') + 1);
  };
  // The .out file's 13 digits round the same figures.
  EXPECT_EQ(table("summary.csv", ""), table("run.out", ""));
  if (netcdf_available()) {
    ASSERT_EQ(run_to(folder.file("summary.nc"), "--variables summary").exit_code, 0);
    EXPECT_EQ(table("summary.nc", "--csv"), table("summary.csv", "--csv"));
  }
  const testing::CliResult lacking = run_cli("summary '" + folder.file("lai.csv") + "'");
  EXPECT_EQ(lacking.exit_code, 1);
  EXPECT_EQ(lacking.err, "vindrel-cli: error: " + folder.file("lai.csv") +
                             ": the file lacks columns that the summary needs: PST, NPPT, RST, "
                             "RPT, EtT, PptIT, QgT, PptT, lambdaCfT, lambdaNfT, lambdaCT, "
                             "lambdaNT, UNT, NminT, QNT, UnfixT, Ws, CET, NET, NIT, CPT, NPT, "
                             "CST, NST, Aw\n");
}

TEST_F(CliOutputsTest, StudyRunKeepsTheOutputsInTheChosenFormat) {
  const std::string factors = folder.file("factors.txt");
  const std::string samples = folder.file("samples.txt");
  {
    std::ofstream(factors) << "factor,low,high\nmF,20,40\n";
    std::ofstream(samples) << "# mF\n25\n35\n";
  }
  const std::string study = "study run --quiet --par '" + par + "' --drivers '" + drr +
                            "' --factors '" + factors + "' --samples '" + samples +
                            "' --start 1 --stop 400 --metric nep=NEP:mean --jobs 2 ";
  const testing::CliResult kept =
      run_cli(study + "--results '" + folder.file("r.csv") + "' --keep-outputs '" +
              folder.file("kept") + "' --format csv --variables summary");
  ASSERT_EQ(kept.exit_code, 0) << kept.err;
  for (const char* name : {"run-000000.csv", "run-000001.csv"}) {
    const std::string file = folder.file("kept") + "/" + name;
    EXPECT_EQ(read_whole_file_bytes(file).substr(0, 9), "time,PST,") << name;
    EXPECT_EQ(run_cli("summary '" + file + "'").exit_code, 0) << name;
  }
  const testing::CliResult without =
      run_cli(study + "--results '" + folder.file("r2.csv") + "' --variables LAI --format csv");
  EXPECT_EQ(without.exit_code, 2);
  EXPECT_EQ(without.err,
            "vindrel-cli: error: --variables: chooses what the kept outputs hold; name their "
            "folder with --keep-outputs\n");
}

// While alive, files of this process and its children may not grow beyond
// `bytes` (a write past it fails as on a full disk).
class ChildFileSizeLimit {
 public:
  explicit ChildFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ChildFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST_F(CliOutputsTest, AFullDiskLeavesThePreviousFileOfEachFormat) {
  std::vector<std::string> names{"run.csv"};
  if (netcdf_available()) names.push_back("run.nc");
  for (const std::string& name : names) {
    const std::string file = folder.file(name);
    std::ofstream(file) << "the previous file";
    testing::CliResult result;
    {
      ChildFileSizeLimit limit(150000);
      result = run_to(file);
    }
    EXPECT_EQ(result.exit_code, 1) << name;
    EXPECT_NE(result.err.find(file + ": Disk full"), std::string::npos) << result.err;
    EXPECT_EQ(read_whole_file_bytes(file), "the previous file") << name;
  }
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder.file(""))) {
    entries.push_back(entry.path().filename().string());
  }
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> expected{"forest.par", "weather.drr"};
  expected.insert(expected.end(), names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries, expected);
}

}  // namespace
}  // namespace vindrel
