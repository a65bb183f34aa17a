// The chart's axes: labels in the independent axis's "#,##0.0" and the
// dependent axis's "####0.#####", and ticks on logarithmic axes of any span.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/output_chart_ticks.hpp"

namespace vindrel::ui {
namespace {

std::vector<std::string> labels(const std::vector<Tick>& ticks, bool independent = false) {
  std::vector<std::string> out;
  for (const Tick& t : ticks) {
    if (t.labelled) out.push_back(logarithmic_label(t.value, independent));
  }
  return out;
}

TEST(ChartTicks, LabelsFollowTheAxesFormats) {
  EXPECT_EQ(independent_label(35000.0), "35,000.0");
  EXPECT_EQ(independent_label(1234567.25, 2), "1,234,567.25");
  EXPECT_EQ(independent_label(-1500.0), "-1,500.0");
  EXPECT_EQ(independent_label(999.95), "1,000.0");
  EXPECT_EQ(independent_label(-0.01), "0.0");
  EXPECT_EQ(dependent_label(2400.0), "2400");
  EXPECT_EQ(dependent_label(0.5), "0.5");
  EXPECT_EQ(dependent_label(0.000123456), "0.00012");
  EXPECT_EQ(dependent_label(-0.000001), "0");
  EXPECT_EQ(logarithmic_label(1e-7, false), "1e-07");
  EXPECT_EQ(logarithmic_label(0.02, true), "0.02");
  EXPECT_EQ(logarithmic_label(10000.0, true), "10,000.0");
}

TEST(ChartTicks, LogarithmicAxesAreLabelledAtAnySpan) {
  // Several decades: the decades, with unlabelled 2..9 between them.
  const std::vector<Tick> wide = logarithmic_ticks(0.05, 3000.0);
  EXPECT_EQ(labels(wide), (std::vector<std::string>{"0.1", "1", "10", "100", "1000"}));
  EXPECT_EQ(wide.size(), 5u + 4u * 8u + 5u + 2u);  // 0.05..0.09, 2000 and 3000 too
  // Twenty decades: every third decade labelled, at most ten labels.
  EXPECT_LE(labels(logarithmic_ticks(1e-10, 1e10)).size(), 10u);
  // Less than two decades: 1, 2 and 5 times each decade.
  EXPECT_EQ(labels(logarithmic_ticks(3.0, 60.0)),
            (std::vector<std::string>{"5", "10", "20", "50"}));
  // Less than a decade, not crossing one: every multiple.
  EXPECT_EQ(labels(logarithmic_ticks(120.0, 480.0)),
            (std::vector<std::string>{"200", "300", "400"}));
  // Within one step of a decade's multiples: linear ticks.
  const std::vector<Tick> narrow = logarithmic_ticks(2.1, 2.9);
  EXPECT_GE(labels(narrow).size(), 3u);
  EXPECT_EQ(labels(narrow).front(), "2.2");
  EXPECT_TRUE(logarithmic_ticks(0.0, 10.0).empty());
}

TEST(ChartTicks, LinearTicksStartAtTheAnchor) {
  const std::vector<Tick> typed = linear_ticks(0.3, 2.0, 0.5, 0.3);
  ASSERT_EQ(typed.size(), 4u);
  EXPECT_DOUBLE_EQ(typed[3].value, 1.8);
  // An increment that would need thousands of ticks gives way to a nice one.
  const std::vector<Tick> nice = linear_ticks(0.0, 36600.0, 0.1, 0.0);
  EXPECT_EQ(nice.size(), 8u);  // 0, 5000, ... 35000
  EXPECT_EQ(independent_label(nice.back().value), "35,000.0");
  EXPECT_DOUBLE_EQ(linear_ticks(-1.0, 1.0, 0.1, 0.0)[10].value, 0.0);
}

}  // namespace
}  // namespace vindrel::ui
