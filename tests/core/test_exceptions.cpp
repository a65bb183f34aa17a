#include <gtest/gtest.h>

#include "core/exceptions.hpp"

namespace vindrel {
namespace {

TEST(RunFailures, OutputStepErrorsCarryTheirMessagesAndFamily) {
  const EOutputStepTooSmall small;
  const EOutputStepTooLarge large;
  const EOutputStepNotMultiple multiple;
  EXPECT_STREQ(small.what(), "Output time step is less than simulation time step.");
  EXPECT_STREQ(large.what(), "Output time step is greater than run length.");
  EXPECT_STREQ(multiple.what(), "Output time step must be a multiple of simulation time step.");
  EXPECT_NE(dynamic_cast<const EStepError*>(&small), nullptr);
  EXPECT_EQ(dynamic_cast<const ERunTimeError*>(static_cast<const std::exception*>(&small)),
            nullptr);
}

TEST(RunFailures, IntegratorAndArithmeticFaultsAreRunTimeErrors) {
  try {
    throw EStepTooSmall("Step size too small in routine ODEIntegrator");
  } catch (const EIntegratorError& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine ODEIntegrator");
  }
  // The integrator retries a division by zero but must let every other fault through.
  bool zero_divide_caught_as_math_error = false;
  try {
    throw EZeroDivide("Division by zero");
  } catch (const EMathError&) {
    zero_divide_caught_as_math_error = true;
  }
  EXPECT_TRUE(zero_divide_caught_as_math_error);
  EXPECT_THROW(throw EInvalidOp("Invalid floating point operation"), ERunTimeError);
  EXPECT_STREQ(EUserCancel().what(), "");
}

TEST(FileErrors, MessageNamesFileAndLine) {
  const EInOutError with_line("Invalid numeric input", "forest.par", 12);
  EXPECT_STREQ(with_line.what(), "forest.par:12: Invalid numeric input");
  EXPECT_EQ(with_line.message(), "Invalid numeric input");
  EXPECT_EQ(with_line.file(), "forest.par");
  EXPECT_EQ(with_line.line(), 12u);
  EXPECT_STREQ(EInOutError("File not found", "missing.drr").what(), "missing.drr: File not found");
  EXPECT_STREQ(EInOutError("Disk full", "").what(), "Disk full");
}

}  // namespace
}  // namespace vindrel
