// The output-step check and its corrections, and the unattended modes taken
// from the program's name.
#include "run/run_settings.hpp"

#include <gtest/gtest.h>

#include "core/exceptions.hpp"

namespace vindrel {
namespace {

TEST(RunSettingsTest, DefaultsAreThoseOfTheMainWindowBoxes) {
  const RunSettings settings;
  EXPECT_EQ(settings.start_time, 1.0);
  EXPECT_EQ(settings.stop_time, 2.0);
  EXPECT_EQ(settings.time_step, 1.0);
  EXPECT_EQ(settings.output_step, 1.0);
  EXPECT_EQ(settings.calculation_time, 1.0);
  EXPECT_EQ(settings.tolerance, 1e-8);
  EXPECT_FALSE(settings.repeat_drivers);
  EXPECT_EQ(settings.repeat_time, 0);
  EXPECT_FALSE(settings.reset_states);
  EXPECT_EQ(settings.reset_interval, 0);
  EXPECT_FALSE(settings.unattended());
}

TEST(OutputStepCheckTest, EqualToTheTimeStepFits) {
  EXPECT_NO_THROW(check_output_step(1.0, 1.0, 1.0, 2.0));
}

TEST(OutputStepCheckTest, SmallerThanTheTimeStepIsTooSmall) {
  EXPECT_THROW(check_output_step(0.5, 1.0, 1.0, 2.0), EOutputStepTooSmall);
}

TEST(OutputStepCheckTest, LongerThanTheRunIsTooLarge) {
  EXPECT_THROW(check_output_step(5.0, 1.0, 1.0, 2.0), EOutputStepTooLarge);
}

TEST(OutputStepCheckTest, TooSmallIsTestedBeforeTooLarge) {
  // Both fail: a run of 0.25 days with a time step of 1.
  EXPECT_THROW(check_output_step(0.5, 1.0, 1.0, 1.25), EOutputStepTooSmall);
}

TEST(OutputStepCheckTest, ThirtyThreeHundredthsOfATimeStepOffIsNotAMultiple) {
  EXPECT_THROW(check_output_step(1.0, 0.3, 1.0, 11.0), EOutputStepNotMultiple);
}

TEST(OutputStepCheckTest, RoundingNoiseWithinOneThousandthIsAMultiple) {
  ASSERT_EQ(0.3 / 0.1, 2.9999999999999996);
  EXPECT_NO_THROW(check_output_step(0.3, 0.1, 1.0, 2.0));
}

TEST(OutputStepCheckTest, TheWholeRunAsOneOutputStepFits) {
  EXPECT_NO_THROW(check_output_step(365.0, 1.0, 1.0, 366.0));
}

TEST(OutputStepCheckTest, AllThreeBelongToTheStepErrorFamily) {
  EXPECT_THROW(check_output_step(0.5, 1.0, 1.0, 2.0), EStepError);
  EXPECT_THROW(check_output_step(5.0, 1.0, 1.0, 2.0), EStepError);
  EXPECT_THROW(check_output_step(1.0, 0.3, 1.0, 11.0), EStepError);
}

TEST(OutputStepCorrectionTest, HalfATimeStepIsIncreasedToTheTimeStep) {
  const OutputStepCorrection c = correct_output_step(0.5, 1.0, 1.0, 2.0);
  EXPECT_TRUE(c.corrected());
  EXPECT_EQ(c.output_step, 1.0);
  EXPECT_EQ(c.information,
            "Output time step is less than simulation time step. Output time step increased to "
            "time step.");
}

TEST(OutputStepCorrectionTest, LongerThanTheRunIsDecreasedToTheRunLength) {
  const OutputStepCorrection c = correct_output_step(5.0, 1.0, 1.0, 2.0);
  EXPECT_EQ(c.output_step, 1.0);
  EXPECT_EQ(c.information,
            "Output time step is greater than run length. Output time step decreased to run "
            "length.");
}

TEST(OutputStepCorrectionTest, RunLengthIsTheCorrectionEvenWhenItIsNoMultiple) {
  // The corrected value is not checked again.
  const OutputStepCorrection c = correct_output_step(20.0, 3.0, 1.0, 11.0);
  EXPECT_EQ(c.output_step, 10.0);
  EXPECT_THROW(check_output_step(c.output_step, 3.0, 1.0, 11.0), EOutputStepNotMultiple);
}

TEST(OutputStepCorrectionTest, NoMultipleIsChangedToTheTimeStep) {
  const OutputStepCorrection c = correct_output_step(1.0, 0.3, 1.0, 11.0);
  EXPECT_EQ(c.output_step, 0.3);
  EXPECT_EQ(c.information,
            "Output time step must be a multiple of simulation time step. Output time step "
            "changed to current time step.");
}

TEST(OutputStepCorrectionTest, NearMultipleIsKeptWithoutInformation) {
  const OutputStepCorrection c = correct_output_step(0.3, 0.1, 1.0, 2.0);
  EXPECT_FALSE(c.corrected());
  EXPECT_EQ(c.output_step, 0.3);
  EXPECT_TRUE(c.information.empty());
}

TEST(OutputStepCorrectionTest, SettingsTakeTheCorrectedValue) {
  RunSettings settings;
  settings.output_step = 0.5;
  const OutputStepCorrection c = correct_output_step(settings);
  EXPECT_TRUE(c.corrected());
  EXPECT_EQ(settings.output_step, 1.0);

  settings.time_step = 0.1;
  settings.output_step = 0.3;
  EXPECT_FALSE(correct_output_step(settings).corrected());
  EXPECT_EQ(settings.output_step, 0.3);
}

TEST(ApplicationTitleTest, DirectoryAndEverythingFromTheFirstDotAreDropped) {
  EXPECT_EQ(application_title("/usr/local/bin/ModelBatch.exe"), "ModelBatch");
  EXPECT_EQ(application_title("C:\\Models\\sensitivity.v2.exe"), "sensitivity");
  EXPECT_EQ(application_title("vindrel"), "vindrel");
  EXPECT_EQ(application_title("./build/.hidden"), "");
}

TEST(UnattendedModeTest, ModelBatchInAnyLetterCaseIsBatchMode) {
  const UnattendedModes modes = unattended_mode_from_program_name("/opt/ModelBatch");
  EXPECT_TRUE(modes.batch_mode);
  EXPECT_FALSE(modes.sensitivity_mode);
  EXPECT_TRUE(unattended_mode_from_program_name("MODELBATCH.EXE").batch_mode);
}

TEST(UnattendedModeTest, SensitivityWithAnExtensionIsSensitivityMode) {
  const UnattendedModes modes = unattended_mode_from_program_name("bin/Sensitivity.exe");
  EXPECT_FALSE(modes.batch_mode);
  EXPECT_TRUE(modes.sensitivity_mode);
}

TEST(UnattendedModeTest, AnyFurtherCharacterBeforeTheDotIsInteractive) {
  const UnattendedModes a = unattended_mode_from_program_name("modelbatch2.exe");
  const UnattendedModes b = unattended_mode_from_program_name("my-sensitivity");
  EXPECT_FALSE(a.batch_mode || a.sensitivity_mode);
  EXPECT_FALSE(b.batch_mode || b.sensitivity_mode);
  const UnattendedModes c = unattended_mode_from_program_name("/usr/bin/vindrel");
  EXPECT_FALSE(c.batch_mode || c.sensitivity_mode);
}

TEST(UnattendedModeTest, AModeNamedDirectoryDoesNotCount) {
  const UnattendedModes modes = unattended_mode_from_program_name("/home/modelbatch/vindrel");
  EXPECT_FALSE(modes.batch_mode);
}

}  // namespace
}  // namespace vindrel
