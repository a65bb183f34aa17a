// The time a run still needs, as the progress displays show it.
#include <gtest/gtest.h>

#include "run/time_left.hpp"

namespace vindrel {
namespace {

TEST(TimeLeftTest, TheRestOfTheRunGoesAtThePaceSoFar) {
  // A quarter of days 1 to 401 done in 10 s: 30 s to go.
  EXPECT_EQ(seconds_left(10.0, 101.0, 1.0, 401.0).value_or(-1.0), 30.0);
  EXPECT_EQ(time_left_text(10.0, 101.0, 1.0, 401.0), "0:30");
  EXPECT_EQ(time_left_text(1200.0, 41.0, 1.0, 401.0), "3:00:00");
  // Too soon to tell, nothing done yet, or past the stop.
  EXPECT_EQ(time_left_text(0.4, 101.0, 1.0, 401.0), "--:--");
  EXPECT_EQ(time_left_text(5.0, 1.0, 1.0, 401.0), "--:--");
  EXPECT_FALSE(seconds_left(5.0, 402.0, 1.0, 401.0));
  EXPECT_EQ(time_left_text(5.0, 401.0, 1.0, 401.0), "0:00");
}

TEST(TimeLeftTest, ClockTextRoundsToTheSecond) {
  EXPECT_EQ(clock_text(59.4), "0:59");
  EXPECT_EQ(clock_text(59.5), "1:00");
  EXPECT_EQ(clock_text(3599.4), "59:59");
  EXPECT_EQ(clock_text(3725.0), "1:02:05");
}

}  // namespace
}  // namespace vindrel
