// Runs with the embedded pairs: the example stand's first model year against
// the model's own integrator, the description of the choice, and a tolerance
// that cannot work.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel {
namespace {

const std::string kExampleParameters =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.par";
const std::string kExampleDrivers =
    std::string(VINDREL_SOURCE_DIR) + "/examples/vindrel-example.drr";

RunResult run_one_year(IntegratorKind integrator, double rtol, RecordSink& sink) {
  Model model = make_model();
  EXPECT_TRUE(ReadParamFile(kExampleParameters, model));
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 367.0;
  settings.driver_file = kExampleDrivers;
  settings.integrator = integrator;
  settings.relative_tolerance = rtol;
  return Run(std::move(model), settings, sink);
}

TEST(EmbeddedIntegrationRun, AYearOfTheExampleAgreesWithTheModelsIntegrator) {
  NullSink sink;
  const RunResult reference = run_one_year(IntegratorKind::kRk4, 1e-8, sink);
  ASSERT_EQ(reference.outcome, RunOutcome::kCompleted) << reference.failure_message();
  for (const IntegratorKind pair : {IntegratorKind::kDopri5, IntegratorKind::kFehlberg78}) {
    const RunResult result = run_one_year(pair, 1e-8, sink);
    ASSERT_EQ(result.outcome, RunOutcome::kCompleted) << result.failure_message();
    EXPECT_EQ(result.steps_completed, reference.steps_completed);
    // Every state at the end of the year within 1e-6 of its value, or of a
    // thousandth of its unit for a state near zero.
    for (int i = 1; i <= state::kCount; ++i) {
      const double expected = reference.model.states[i].value;
      const double difference = std::fabs(result.model.states[i].value - expected);
      EXPECT_LE(difference, 1e-6 * std::max(std::fabs(expected), 1e-3))
          << integrator_name(pair) << " " << reference.model.states[i].symbol;
    }
  }
}

TEST(EmbeddedIntegrationRun, AtTheDefaultToleranceAYearOfDopri5StaysWithinAMillionthOfATightRun) {
  // The default tolerance against one 100 times tighter, and against rk4:
  // every state at the end of the year within 1e-6 of its value, or of a
  // thousandth of its unit for a state near zero.
  NullSink sink;
  const double rtol = RunSettings{}.relative_tolerance;
  const RunResult run = run_one_year(IntegratorKind::kDopri5, rtol, sink);
  const RunResult tight = run_one_year(IntegratorKind::kDopri5, rtol / 100.0, sink);
  const RunResult rk4 = run_one_year(IntegratorKind::kRk4, rtol, sink);
  for (const RunResult* result : {&run, &tight, &rk4}) {
    ASSERT_EQ(result->outcome, RunOutcome::kCompleted) << result->failure_message();
  }
  for (int i = 1; i <= state::kCount; ++i) {
    const double value = run.model.states[i].value;
    for (const RunResult* reference : {&tight, &rk4}) {
      const double expected = reference->model.states[i].value;
      EXPECT_LE(std::fabs(value - expected), 1e-6 * std::max(std::fabs(expected), 1e-3))
          << run.model.states[i].symbol << (reference == &rk4 ? " against rk4" : "");
    }
  }
}

TEST(EmbeddedIntegrationRun, ATolerancePastTheLimitsFailsBeforeTheOutputBegins) {
  for (const double rtol : {0.0, -1e-8, 1.0, std::nan("")}) {
    OutputTable sink;
    const RunResult result = run_one_year(IntegratorKind::kDopri5, rtol, sink);
    EXPECT_EQ(result.outcome, RunOutcome::kFailed);
    EXPECT_EQ(result.failure_message(),
              "The integrator's relative tolerance must be greater than 0 and less than 1.");
    EXPECT_EQ(sink.columns(), 0u) << "the sink was begun";
  }
}

TEST(IntegratorChoice, NamesAndDescriptions) {
  RunSettings settings;
  EXPECT_EQ(integrator_description(settings), "rk4, tolerance 1E-8");
  settings.integrator = IntegratorKind::kDopri5;
  settings.relative_tolerance = 2.5e-9;
  EXPECT_EQ(integrator_description(settings), "dopri5, rtol 2.5E-9");
  settings.integrator = IntegratorKind::kFehlberg78;
  EXPECT_EQ(integrator_description(settings), "rkf78, rtol 2.5E-9");
  for (const IntegratorKind kind :
       {IntegratorKind::kRk4, IntegratorKind::kDopri5, IntegratorKind::kFehlberg78}) {
    EXPECT_EQ(integrator_from_name(integrator_name(kind)), kind);
  }
  EXPECT_FALSE(integrator_from_name("RK4"));
  EXPECT_FALSE(integrator_from_name(""));
}

}  // namespace
}  // namespace vindrel
