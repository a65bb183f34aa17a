// vindrel-cli run: the same output bytes as a run through the library, the
// desktop's defaults, output-step warnings, state lists, failures and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::record_times;
using testing::run_cli;

class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteParamFile(par, support::temperate_forest());
    testing::write_daily_drivers(drr, 1, 400);
  }

  std::string files() const {
    return "--par '" + par + "' --drivers '" + drr + "' --out '" + out + "'";
  }

  // The same run through the library, from the same parameter file; `adjust`
  // changes the settings and the model's flags before it starts.
  std::string library_run(RunSettings settings,
                          const std::function<void(Model&)>& adjust = {}) const {
    Model model = make_model();
    EXPECT_TRUE(ReadParamFile(par, model));
    if (adjust) adjust(model);
    settings.driver_file = drr;
    settings.output_file = reference;
    OutputFileSink sink(reference);
    vindrel::Run(model, settings, sink);
    return read_whole_file_bytes(reference);
  }

  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par");
  const std::string drr = folder.file("weather.drr");
  const std::string out = folder.file("cli.out");
  const std::string reference = folder.file("library.out");
};

TEST_F(CliRunTest, WritesTheSameBytesAsTheLibraryRun) {
  const auto result = run_cli("run " + files() + " --start 1 --stop 40 --step 0.5 --output-step 2");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");  // no progress bar when standard error is not a terminal
  RunSettings settings;
  settings.stop_time = 40.0;
  settings.time_step = 0.5;
  settings.output_step = 2.0;
  const std::string expected = library_run(settings);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(read_whole_file_bytes(out) == expected);
}

TEST_F(CliRunTest, DefaultsAreThoseOfTheDesktopBoxes) {
  const auto result = run_cli("run " + files() + " --quiet");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(record_times(out), std::vector<double>{2.0});
  EXPECT_TRUE(read_whole_file_bytes(out) == library_run(RunSettings{}));
}

TEST_F(CliRunTest, AnEmbeddedPairAndItsToleranceReachTheRun) {
  const auto result =
      run_cli("run " + files() + " --stop 200 --integrator dopri5 --rtol 1e-6 --quiet");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  RunSettings settings;
  settings.stop_time = 200.0;
  settings.integrator = IntegratorKind::kDopri5;
  settings.relative_tolerance = 1e-6;
  const std::string expected = library_run(settings);
  EXPECT_TRUE(read_whole_file_bytes(out) == expected);
  // Neither the default tolerance nor the default integrator would give them.
  settings.relative_tolerance = 1e-8;
  EXPECT_FALSE(library_run(settings) == expected);
  settings.integrator = IntegratorKind::kRk4;
  EXPECT_FALSE(library_run(settings) == expected);
}

TEST_F(CliRunTest, OutputStepBelowTheTimeStepIsCorrectedWithAWarning) {
  const auto result = run_cli("run " + files() + " --output-step 0.5");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: Output time step is less than simulation time step. Output "
            "time step increased to time step.\n");
  EXPECT_EQ(record_times(out), std::vector<double>{2.0});
}

TEST_F(CliRunTest, OutputStepLongerThanTheRunIsCorrectedWithAWarning) {
  const auto result = run_cli("run " + files() + " --output-step 5");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: Output time step is greater than run length. Output time step "
            "decreased to run length.\n");
  EXPECT_EQ(record_times(out), std::vector<double>{2.0});
}

TEST_F(CliRunTest, OutputStepThatIsNoMultipleIsChangedToTheTimeStepWithAWarning) {
  const auto result = run_cli("run " + files() + " --step 0.3 --output-step 1 --stop 3");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: Output time step must be a multiple of simulation time step. "
            "Output time step changed to current time step.\n");
  EXPECT_EQ(record_times(out).size(), 6u);  // every step of 0.3 from 1 up to 2.8
}

TEST_F(CliRunTest, NearMultipleOutputStepIsKeptSilently) {
  const auto result = run_cli("run " + files() + " --step 0.1 --output-step 0.3 --stop 2");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(record_times(out).size(), 3u);
}

TEST_F(CliRunTest, HeldAndResetStatesNamedBySymbolOrPosition) {
  const auto result = run_cli("run " + files() +
                              " --stop 30 --hold Cf,2 --reset-every 7 --reset 'Wg, 21' "
                              "--repeat-drivers 10");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  RunSettings settings;
  settings.stop_time = 30.0;
  settings.reset_states = true;
  settings.reset_interval = 7;
  settings.repeat_drivers = true;
  settings.repeat_time = 10;
  const std::string expected = library_run(settings, [](Model& model) {
    model.states[state::Cf].HoldConstant = true;
    model.states[state::Csw].HoldConstant = true;
    model.states[state::Wg].Reset = true;
    model.states[state::Wr].Reset = true;
  });
  EXPECT_TRUE(read_whole_file_bytes(out) == expected);
  const auto records = testing::read_output(out);
  ASSERT_EQ(records.size(), 29u);
  EXPECT_EQ(records.back().state(state::Cf), support::temperate_forest().states[state::Cf].value);
}

TEST_F(CliRunTest, UnknownStateInAListIsAnError) {
  const auto symbol = run_cli("run " + files() + " --hold Cf,Qq");
  EXPECT_NE(symbol.exit_code, 0);
  EXPECT_EQ(symbol.err,
            "vindrel-cli: error: --hold: unknown state \"Qq\": expected a state's symbol (Cf), its "
            "position (1), state:SYMBOL or state#N (see vindrel-cli list states)\n");
  const auto position = run_cli("run " + files() + " --reset-every 5 --reset 56");
  EXPECT_NE(position.exit_code, 0);
  EXPECT_EQ(position.err,
            "vindrel-cli: error: --reset: unknown state \"56\": positions run from 1 to 55\n");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CliRunTest, MissingDriverFileExitsNonZeroWithTheRunsMessage) {
  const std::string missing = folder.file("missing.drr");
  const auto result =
      run_cli("run --par '" + par + "' --drivers '" + missing + "' --out '" + out + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "vindrel-cli: error: " + missing + ": Cannot read driver file. File does not exist.\n");
}

TEST_F(CliRunTest, IncompatibleParameterFileIsRefused) {
  {
    std::ofstream other(par, std::ios::binary);
    other << "SomeOtherModel            1.0\r\n";
  }
  const auto result = run_cli("run " + files());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "vindrel-cli: error: " + par +
                            ":1: " + std::string(kIncompatibleParamFileMessage) +
                            " Expected the model name \"Vindrel\" in columns 1 to 26 and the "
                            "version \"6.4.1\" after them on line 1, found \"SomeOtherModel"
                            "            1.0\".\n");
}

// rk4 keeps the model's tolerance: a tolerance given to it is said to do
// nothing, and the output is the run without it.
TEST_F(CliRunTest, ToleranceWithRk4IsWarnedOf) {
  const auto plain = run_cli("run " + files() + " --stop 20");
  ASSERT_EQ(plain.exit_code, 0) << plain.err;
  const std::string expected = read_whole_file_bytes(out);
  const auto result = run_cli("run " + files() + " --stop 20 --rtol 1e-4");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: --rtol has no effect with rk4, which keeps the model's "
            "tolerance of 1e-8; it sets the tolerance of dopri5 and rkf78\n");
  EXPECT_TRUE(read_whole_file_bytes(out) == expected);
  EXPECT_EQ(run_cli("run " + files() + " --stop 20 --integrator dopri5 --rtol 1e-4").err, "");
}

TEST_F(CliRunTest, StopNotAfterStartIsRefused) {
  const auto result = run_cli("run " + files() + " --start 5 --stop 5");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err,
            "vindrel-cli: error: --stop: expected a time after the start time 5, found 5\n");
}

// The records of a failed run are published under a name of their own: the
// previous complete output stays.
TEST_F(CliRunTest, FailureInTheRunPrintsItsMessageAndKeepsTheRecords) {
  std::ofstream(out, std::ios::binary) << "the previous run\r\n";
  const std::string partial = folder.file("cli.partial.out");
  testing::write_daily_drivers(drr, 1, 400, [](int day, driverarray& d) {
    if (day >= 5) d[driver::Tamax].value = std::numeric_limits<double>::quiet_NaN();
  });
  const auto result = run_cli("run " + files() + " --stop 10");
  EXPECT_EQ(result.exit_code, 1);
  // The model's message as it is, then when and where: a driver that is not a
  // number reaches the equations in the step from 5 to 6.
  // The value was said before the run, and the failure names its line.
  EXPECT_EQ(result.err,
            "vindrel-cli: warning: " + drr +
                ":7: driver Tamax (Temperature Max) is Nan oC, not a finite number; 5 records "
                "that the run uses have such values, this is the first\n"
                "vindrel-cli: error: Invalid floating point operation\n"
                "  in the step from 5 to 6 (time step 1)\n"
                "  the run reached model time 5; the output holds 4 records\n"
                "  the equation group where it arose: none (driver Tamax is not a finite "
                "number)\n"
                "  from " +
                drr + ":7: driver Tamax is Nan\n  the records written so far are in " + partial +
                "; the previous " + out + " is unchanged\n");
  EXPECT_EQ(record_times(partial), (std::vector<double>{2.0, 3.0, 4.0, 5.0}));
  EXPECT_EQ(read_whole_file_bytes(out), "the previous run\r\n");
}

// Starts vindrel-cli with `arguments`, its standard error going to `err`.
pid_t start_cli(const std::vector<std::string>& arguments, const std::string& err) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen(err.c_str(), "w", stderr) == nullptr) _exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(VINDREL_CLI));
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(VINDREL_CLI, argv.data());
    _exit(127);
  }
  return pid;
}

// The size of the output a run is writing: its temporary file beside the
// target, which takes the target's place when the run ends.
std::uintmax_t written_so_far(const std::string& target) {
  const std::filesystem::path path(target);
  const std::string prefix = "." + path.filename().string() + ".tmp";
  std::uintmax_t size = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), error)) {
    if (entry.path().filename().string().starts_with(prefix)) {
      size = std::max(size, entry.file_size(error));
    }
  }
  return size;
}

// Ctrl-C, SIGTERM (a batch system's time limit, timeout, kill) and SIGHUP end
// a run after the current step: whole records and the states, with a
// warning, published apart from the previous complete output and states,
// and the exit status of the signal.
TEST_F(CliRunTest, ASignalCancelsAfterTheCurrentStepAndLeavesAValidFile) {
  const std::string err = folder.file("stderr.txt");
  const std::string saved = folder.file("saved.par");
  const std::string partial = folder.file("cli.partial.out");
  const std::string saved_partial = folder.file("saved.partial.par");
  for (const auto& [signal, status_expected, said] :
       {std::tuple{SIGINT, 130, "run cancelled at time "},
        std::tuple{SIGTERM, 143, "run cancelled by SIGTERM at time "},
        std::tuple{SIGHUP, 129, "run cancelled by SIGHUP at time "}}) {
    SCOPED_TRACE(signal);
    std::ofstream(out, std::ios::binary) << "the previous run\r\n";
    std::ofstream(saved, std::ios::binary) << "the previous states\r\n";
    std::filesystem::remove(saved_partial);
    // Far longer than the test waits: the run is always in mid-course when
    // interrupted (the drivers of the last record hold from then on).
    const pid_t pid = start_cli({"run", "--par", par, "--drivers", drr, "--out", out, "--stop",
                                 "10000000", "--output-step", "1", "--save-states", saved},
                                err);
    ASSERT_GT(pid, 0);
    // Wait for a few records, for at most a minute.
    for (int i = 0; i < 600 && written_so_far(out) < 10 * 5410; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GE(written_so_far(out), 10u * 5410u);
    EXPECT_EQ(read_whole_file_bytes(out), "the previous run\r\n") << "kept while the run goes on";
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), status_expected);
    const std::string message = read_whole_file_bytes(err);
    EXPECT_NE(message.find("vindrel-cli: " + std::string(said)), std::string::npos) << message;
    EXPECT_NE(message.find("; the records written so far are in " + partial + "; the previous " +
                           out + " is unchanged\n"),
              std::string::npos)
        << message;
    EXPECT_NE(
        message.find("warning: the run was cancelled; " + saved_partial + " holds the states"),
        std::string::npos)
        << message;
    Model model = make_model();
    EXPECT_TRUE(ReadParamFile(saved_partial, model));
    EXPECT_EQ(read_whole_file_bytes(saved), "the previous states\r\n");
    EXPECT_EQ(read_whole_file_bytes(out), "the previous run\r\n");

    // Every line complete, every record readable, the times one day apart.
    const std::string bytes = read_whole_file_bytes(partial);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.size() % 5410, 0u);
    const std::vector<double> times = record_times(partial);
    ASSERT_GE(times.size(), 8u);
    for (std::size_t i = 0; i < times.size(); ++i) {
      EXPECT_EQ(times[i], 2.0 + static_cast<double>(i));
    }
    EXPECT_EQ(written_so_far(out), 0u) << "no temporary file stays";
    EXPECT_EQ(written_so_far(partial), 0u);
  }
}

// A hang-up that the run was started to ignore (nohup, trap '' HUP) does not
// cancel it: the run goes on to its stop time.
TEST_F(CliRunTest, AnIgnoredHangUpStaysIgnored) {
  const std::string err = folder.file("err.txt");
  const std::string command =
      "trap '' HUP; '" + std::string(VINDREL_CLI) + "' run " + files() + " --stop 6000 2>'" + err +
      "' & pid=$!; for i in $(seq 1200); do [ -n \"$(find '" + folder.file("") +
      "' -name '.cli.out.tmp*' -size +20k)\" ] && break; sleep 0.05; done; kill -HUP $pid; wait "
      "$pid";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 0) << read_whole_file_bytes(err);
  EXPECT_EQ(record_times(out).back(), 6000.0);
  EXPECT_FALSE(std::filesystem::exists(folder.file("cli.partial.out")));
}

// The temporary file of a killed run is removed by the next run on the same
// output, which says so; that of a process still running is left alone.
TEST_F(CliRunTest, ATemporaryFileOfAKilledRunIsRemovedByTheNext) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string left = folder.file(".cli.out.tmp" + std::to_string(gone) + ".0");
  const std::string running = folder.file(".cli.out.tmp" + std::to_string(getpid()) + ".0");
  std::ofstream(left, std::ios::binary) << "records of a killed run";
  std::ofstream(running, std::ios::binary) << "records of a run going on";
  const auto result = run_cli("run " + files() + " --stop 5");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "vindrel-cli: removed " + left +
                            ", left by a run that ended before finishing it (process " +
                            std::to_string(gone) + ")\n");
  EXPECT_FALSE(std::filesystem::exists(left));
  EXPECT_TRUE(std::filesystem::exists(running));
  EXPECT_EQ(record_times(out).size(), 4U);
}

// A write that fails (here the file size limit of a full disk) leaves the
// previous output as it was and says how far the run got.
TEST_F(CliRunTest, AFailedWriteKeepsThePreviousOutputAndCountsTheRecords) {
  std::ofstream(out, std::ios::binary) << "the previous run\r\n";
  const std::string err = folder.file("err.txt");
  const std::string command = "trap '' XFSZ; ulimit -f 100; '" + std::string(VINDREL_CLI) +
                              "' run " + files() + " --stop 300 2>'" + err + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string message = read_whole_file_bytes(err);
  EXPECT_EQ(message.rfind("vindrel-cli: error: " + out + ": Disk full\n  ", 0), 0u) << message;
  EXPECT_NE(message.find(" records were written before the failure; the previous " + out +
                         " is unchanged\n"),
            std::string::npos)
      << message;
  EXPECT_EQ(read_whole_file_bytes(out), "the previous run\r\n");
  EXPECT_EQ(written_so_far(out), 0u);
}

}  // namespace
}  // namespace vindrel

namespace vindrel {
namespace {

class CliContinueTest : public CliRunTest {};

TEST_F(CliContinueTest, SavedStatesHoldTheParametersAndTheStatesTheRunEndedWith) {
  const std::string saved = folder.file("spun-up.par");
  const auto first =
      run_cli("run " + files() + " --start 1 --stop 21 --save-states '" + saved + "'");
  ASSERT_EQ(first.exit_code, 0) << first.err;
  EXPECT_EQ(first.err, "vindrel-cli: " + saved +
                           " holds the states at time 21, day 21 of model year 1; a run "
                           "continues from them with --start 21 --first-start 1\n");
  Model original = make_model();
  Model spun_up = make_model();
  ASSERT_TRUE(ReadParamFile(par, original));
  ASSERT_TRUE(ReadParamFile(saved, spun_up));
  const auto last = testing::read_output(out).back();
  EXPECT_EQ(last.time, 21.0);
  for (int i = 1; i <= 55; ++i) {
    // The output file keeps 13 significant digits, the parameter file 15.
    EXPECT_NEAR(spun_up.states[i].value, last.state(i), 1e-12 * std::abs(last.state(i)))
        << "state " << i;
  }
  for (int i = 1; i <= original.ModelInfo.ParameterCount; ++i) {
    EXPECT_EQ(spun_up.parameters[i].value, original.parameters[i].value) << "parameter " << i;
  }
  // A run from the saved file starts where the first one ended.
  const auto second = run_cli("run --par '" + saved + "' --drivers '" + drr + "' --out '" +
                              folder.file("second.out") + "' --start 21 --stop 22");
  ASSERT_EQ(second.exit_code, 0) << second.err;
}

TEST_F(CliContinueTest, ACancelledRunSavesItsStatesWithAWarning) {
  const std::string saved = folder.file("cancelled.par");
  // Interrupt a long run once it has written a few records (to its temporary
  // file, which takes the output's place when the run ends), within a minute.
  const std::string command =
      std::string("'") + VINDREL_CLI + "' run " + files() +
      " --start 1 --stop 400 --step 0.01 --save-states '" + saved + "' 2>'" +
      folder.file("err.txt") + "' & pid=$!; for i in $(seq 1200); do [ -n \"$(find '" +
      std::filesystem::path(out).parent_path().string() +
      "' -name '.cli.out.tmp*' -size +20k)\" ] && break; sleep 0.05; done; " +
      "kill -INT $pid; wait $pid";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string err = testing::read_whole_file(folder.file("err.txt"));
  EXPECT_NE(err.find("warning: the run was cancelled; " + folder.file("cancelled.partial.par") +
                     " holds the states reached at time"),
            std::string::npos)
      << err;
  Model spun_up = make_model();
  EXPECT_TRUE(ReadParamFile(folder.file("cancelled.partial.par"), spun_up));
}

TEST_F(CliContinueTest, NoStatesAreSavedWhenTheRunFailsBeforeItsFirstStep) {
  const std::string saved = folder.file("never.par");
  const auto result = run_cli("run --par '" + par + "' --drivers '" + folder.file("absent.drr") +
                              "' --out '" + out + "' --save-states '" + saved + "'");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(saved));
}

TEST_F(CliContinueTest, ARunPastTheLastDriverRecordIsAnnounced) {
  const auto result = run_cli("run " + files() + " --start 1 --stop 410");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "vindrel-cli: warning: " + drr +
                            ":402: the driver file ends at day 400; its last record holds from "
                            "there to the stop time\n");
}

// An unwritable --save-states is found before the run, not after it.
TEST_F(CliContinueTest, AnOutputThatCannotBeCreatedIsFoundBeforeTheFirstStep) {
  const std::string missing = folder.file("no-such-folder/end.par");
  const auto result = run_cli("run " + files() + " --stop 300 --save-states '" + missing + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "vindrel-cli: error: " + missing + ": Path not found\n");
  EXPECT_FALSE(std::filesystem::exists(out));
  const auto folder_named = run_cli("run " + files() + " --save-states '" + folder.file("") + "'");
  EXPECT_EQ(folder_named.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// A second run writing the output a run is writing refuses at its start, by
// any spelling of the file; the lock goes with the first run.
TEST_F(CliContinueTest, ASecondRunOnTheSameOutputIsRefused) {
  const std::string err = folder.file("first.err");
  const pid_t first =
      start_cli({"run", "--par", par, "--drivers", drr, "--out", out, "--stop", "10000000"}, err);
  ASSERT_GT(first, 0);
  for (int i = 0; i < 600 && written_so_far(out) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::string other_spelling = folder.file("./sub/../cli.out");
  std::filesystem::create_directories(folder.file("sub"));
  for (const std::string& name : {out, other_spelling}) {
    const auto second =
        run_cli("run --par '" + par + "' --drivers '" + drr + "' --out '" + name + "' --stop 20");
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(second.err, "vindrel-cli: error: --out: another run (process " +
                              std::to_string(first) + ") is writing " + name +
                              "; wait for it to end or choose another file\n");
  }
  kill(first, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_GT(record_times(folder.file("cli.partial.out")).size(), 1u) << "the first run's output";
  EXPECT_FALSE(std::filesystem::exists(folder.file(".cli.out.lock")));
  EXPECT_EQ(run_cli("run " + files() + " --stop 20").exit_code, 0) << "free again";
}

}  // namespace
}  // namespace vindrel
