// The chart's axes: labels in the independent axis's "#,##0.0" and the
// dependent axis's "####0.#####", and ticks on logarithmic axes of any span.
#include <gtest/gtest.h>

#include <set>
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

TEST(ChartTicks, LabelsFollowTheAxesFormatsTypesetForPrint) {
  EXPECT_EQ(independent_label(35000.0), "35,000.0");
  EXPECT_EQ(independent_label(35000.0, 0), "35,000");  // whole days
  EXPECT_EQ(independent_label(1234567.25, 2), "1,234,567.25");
  EXPECT_EQ(independent_label(-1500.0), "\u22121,500.0");  // a true minus sign
  EXPECT_EQ(independent_label(999.95), "1,000.0");
  EXPECT_EQ(independent_label(-0.01), "0.0");
  EXPECT_EQ(dependent_label(2400.0), "2,400");
  EXPECT_EQ(dependent_label(-12500.5), "\u221212,500.5");
  EXPECT_EQ(dependent_label(0.5), "0.5");
  EXPECT_EQ(dependent_label(0.000123456), "0.00012");
  EXPECT_EQ(logarithmic_label(1e-7, false), "10\u207b\u2077");
  EXPECT_EQ(logarithmic_label(2e9, false), "2\u00d710\u2079");
  EXPECT_EQ(logarithmic_label(0.02, true), "0.02");
  EXPECT_EQ(logarithmic_label(10000.0, true), "10,000.0");
}

TEST(ChartTicks, TinyRangesKeepTheirDigitsAndNoiseIsNamed) {
  // A respiration of at most 5.5e-11: every label differs, in exponent form.
  const std::vector<Tick> small = linear_ticks(0.0, 5.5e-11, nice_increment(0.0, 5.5e-11), 0.0);
  std::vector<double> values;
  for (const Tick& t : small) values.push_back(t.value);
  const std::vector<std::string> labels = dependent_labels(values, values[1] - values[0]);
  EXPECT_EQ(labels.front(), "0");
  EXPECT_EQ(labels[1], "0.5\u00d710\u207b\u00b9\u00b9");  // 5e-12 under the axis's 10^-11
  EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), labels.size());
  // A typed increment of 0.25 keeps its second decimal.
  EXPECT_EQ(dependent_labels({0.25, 0.5, 0.75}, 0.25),
            (std::vector<std::string>{"0.25", "0.5", "0.75"}));
  // Ticks a hundred-thousandth apart still read in the axis's own format.
  EXPECT_EQ(dependent_labels({0.00001, 0.00002}, 0.00001),
            (std::vector<std::string>{"0.00001", "0.00002"}));
  // Near a large value the mantissas carry the digits that differ.
  EXPECT_EQ(dependent_labels({1.2345e10, 1.2346e10}, 1e6),
            (std::vector<std::string>{"1.2345\u00d710\u00b9\u2070", "1.2346\u00d710\u00b9\u2070"}));
  // Rounding noise about 0 or in the last digits of a large value, not a tiny signal.
  EXPECT_TRUE(rounding_noise(-3e-17, 3e-17));
  EXPECT_TRUE(rounding_noise(1000.0, 1000.0 + 1e-11));
  EXPECT_FALSE(rounding_noise(0.0, 5.5e-11));
  EXPECT_FALSE(rounding_noise(1000.0, 1000.001));
}

TEST(ChartTicks, LogarithmicAxesAreLabelledAtAnySpan) {
  // Several decades: the decades, with unlabelled 2..9 between them.
  const std::vector<Tick> wide = logarithmic_ticks(0.05, 3000.0);
  EXPECT_EQ(labels(wide), (std::vector<std::string>{"0.1", "1", "10", "100", "1,000"}));
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

TEST(ChartTicks, ModelYearsTickOnTheirFirstDay) {
  // Thirty years of 366 days: every fifth year, on its first day.
  std::vector<double> days;
  for (const Tick& t : model_year_ticks(1.0, 10980.0, 366.0, 8)) days.push_back(t.value);
  EXPECT_EQ(days, (std::vector<double>{1465, 3295, 5125, 6955, 8785, 10615}));
  EXPECT_EQ(model_year_of(10615.0, 366.0), 30.0);
  // Three years: each, the first included.
  days.clear();
  for (const Tick& t : model_year_ticks(1.0, 1098.0, 366.0, 8)) days.push_back(t.value);
  EXPECT_EQ(days, (std::vector<double>{1, 367, 733}));
}

}  // namespace
}  // namespace vindrel::ui
