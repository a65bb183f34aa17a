#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double parsed(const std::string& text) {
  // Leading blanks belong to the field, not to the number.
  const std::size_t first = text.find_first_not_of(' ');
  const std::size_t last = text.find_last_not_of(' ');
  double value = -12345.0;
  EXPECT_TRUE(parse_number(text.substr(first, last - first + 1), value)) << text;
  return value;
}

// ---- The parameter file's 23-character real ---------------------------------

TEST(ParamRealFormat, WritesTheWorkedExamples) {
  EXPECT_EQ(param_real_text(1.5), " 1.50000000000000E+0000");
  EXPECT_EQ(param_real_text(-0.00125), "-1.25000000000000E-0003");
  EXPECT_EQ(param_real_text(0.0), " 0.00000000000000E+0000");
}

TEST(ParamRealFormat, NegativeZeroIsWrittenAsZero) {
  EXPECT_EQ(param_real_text(-0.0), " 0.00000000000000E+0000");
}

TEST(ParamRealFormat, RoundsToFifteenSignificantDigits) {
  EXPECT_EQ(param_real_text(2.0 / 3.0), " 6.66666666666667E-0001");
  EXPECT_EQ(param_real_text(-1.0 / 3.0), "-3.33333333333333E-0001");
  EXPECT_EQ(param_real_text(0.1), " 1.00000000000000E-0001");
  EXPECT_EQ(param_real_text(123456789012345678.0), " 1.23456789012346E+0017");
}

TEST(ParamRealFormat, RoundingCarriesIntoTheExponent) {
  EXPECT_EQ(param_real_text(99999.99999999999), " 1.00000000000000E+0005");
  EXPECT_EQ(param_real_text(0.9999999999999999), " 1.00000000000000E+0000");
  EXPECT_EQ(param_real_text(9.999999999999996), " 1.00000000000000E+0001");
}

TEST(ParamRealFormat, ExponentsUseFourDigitsAtTheExtremes) {
  EXPECT_EQ(param_real_text(1e300), " 1.00000000000000E+0300");
  EXPECT_EQ(param_real_text(-1e-300), "-1.00000000000000E-0300");
  // The largest double keeps its 15 digits cut, not rounded up past itself, so
  // that the text reads back.
  EXPECT_EQ(param_real_text(std::numeric_limits<double>::max()), " 1.79769313486231E+0308");
  EXPECT_EQ(param_real_text(std::numeric_limits<double>::denorm_min()), " 4.94065645841247E-0324");
}

TEST(ParamRealFormat, TheLargestDoublesReadBack) {
  constexpr double kMax = std::numeric_limits<double>::max();
  for (const double x : {kMax, -kMax, std::nextafter(kMax, 0.0), 1.7976931348623e308}) {
    const double y = parsed(param_real_text(x));
    EXPECT_TRUE(std::isfinite(y)) << x;
    EXPECT_LE(std::fabs(y - x), 1e-14 * std::fabs(x)) << x;
    EXPECT_TRUE(std::isfinite(parsed(shortest_decimal_text(x)))) << x;
    EXPECT_TRUE(std::isfinite(parsed(e13_right_text(x)))) << x;
  }
}

TEST(ParamRealFormat, NonFiniteValuesAreRightAligned) {
  EXPECT_EQ(param_real_text(kNaN), "                    Nan");
  EXPECT_EQ(param_real_text(kInf), "                   +Inf");
  EXPECT_EQ(param_real_text(-kInf), "                   -Inf");
}

TEST(ParamRealFormat, RandomValuesKeepFifteenDigitsAndTheWidth) {
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-300, 300);
  for (int n = 0; n < 20000; ++n) {
    const double x = mantissa(random) * std::pow(10.0, exponent(random));
    const std::string text = param_real_text(x);
    ASSERT_EQ(text.size(), 23u) << x;
    ASSERT_EQ(text[2], '.');
    ASSERT_EQ(text[17], 'E');
    const double y = parsed(text);
    // 15 significant digits: the error is at most half a unit in the 15th digit.
    ASSERT_LE(std::fabs(y - x), 5.0000001e-15 * std::fabs(x)) << text;
    // Writing what was read gives the same text again.
    ASSERT_EQ(param_real_text(y), text);
  }
}

// ---- "%-25.13e" and "%25.13e" --------------------------------------------------

TEST(Scientific13Format, WritesTheWorkedExamples) {
  EXPECT_EQ(e13_left_text(1.5), "1.500000000000E+000      ");
  EXPECT_EQ(e13_left_text(0.0), "0.000000000000E+000      ");
  EXPECT_EQ(e13_right_text(1.5), "      1.500000000000E+000");
}

TEST(Scientific13Format, NegativeValuesTakeOneMoreCharacter) {
  EXPECT_EQ(e13_left_text(-1.5), "-1.500000000000E+000     ");
  EXPECT_EQ(e13_right_text(-0.00125), "     -1.250000000000E-003");
  EXPECT_EQ(e13_right_text(-0.0), "      0.000000000000E+000");
}

TEST(Scientific13Format, ExponentHasAtLeastThreeDigits) {
  EXPECT_EQ(e13_right_text(1e5), "      1.000000000000E+005");
  EXPECT_EQ(e13_right_text(1e-300), "      1.000000000000E-300");
  EXPECT_EQ(e13_right_text(-std::numeric_limits<double>::max()), "     -1.797693134862E+308");
  EXPECT_EQ(e13_right_text(std::numeric_limits<double>::denorm_min()), "      4.940656458412E-324");
}

TEST(Scientific13Format, RoundsToThirteenSignificantDigits) {
  EXPECT_EQ(e13_right_text(2.0 / 3.0), "      6.666666666667E-001");
  EXPECT_EQ(e13_right_text(0.99999999999999), "      1.000000000000E+000");
  EXPECT_EQ(e13_right_text(1234567890123456.0), "      1.234567890123E+015");
}

TEST(Scientific13Format, NonFiniteValuesAreAlignedLikeNumbers) {
  EXPECT_EQ(e13_left_text(kNaN), "Nan                      ");
  EXPECT_EQ(e13_right_text(-kInf), "                     -Inf");
  EXPECT_EQ(e13_right_text(kInf), "                     +Inf");
}

TEST(Scientific13Format, RandomValuesKeepThirteenDigitsAndTheWidth) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-305, 305);
  for (int n = 0; n < 20000; ++n) {
    const double x = mantissa(random) * std::pow(10.0, exponent(random));
    const std::string right = e13_right_text(x);
    const std::string left = e13_left_text(x);
    ASSERT_EQ(right.size(), 25u);
    ASSERT_EQ(left.size(), 25u);
    ASSERT_NE(right[0], '-') << "the field never overflows: " << right;
    const double y = parsed(right);
    ASSERT_EQ(parsed(left), y);
    ASSERT_LE(std::fabs(y - x), 5.0000001e-13 * std::fabs(x)) << right;
    ASSERT_EQ(e13_right_text(y), right);
  }
}

// "%.12e" as the standard library writes it with 13 digits, its exponent as
// "E" and at least three digits: what every e13 field must hold.
std::string standard_e13(double x) {
  char text[40];
  const std::to_chars_result result =
      std::to_chars(text, text + sizeof text, x, std::chars_format::scientific, 12);
  const std::string standard(text, result.ptr);
  const std::size_t e = standard.find('e');
  const std::string exponent = standard.substr(e + 2);
  const std::string zeros(exponent.size() < 3 ? 3 - exponent.size() : 0, '0');
  return standard.substr(0, e) + "E" + standard[e + 1] + zeros + exponent;
}

TEST(Scientific13Format, EveryKindOfDoubleGetsTheStandardLibrarysDigits) {
  std::mt19937_64 random(11);
  std::vector<double> values;
  // Any bit pattern: every exponent, subnormals included.
  for (int n = 0; n < 200000; ++n) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) values.push_back(x);
  }
  // Values next to a tie in the 14th digit (d.dddddddddddd5 x 10^e read as
  // the nearest double, and its neighbours), and next to a carry into the
  // exponent (9.9999999999995 and the like).
  std::uniform_int_distribution<std::int64_t> digits(1000000000000, 9999999999999);
  std::uniform_int_distribution<int> exponent(-310, 280);
  for (int n = 0; n < 50000; ++n) {
    const std::string text =
        std::to_string(digits(random)) + "5e" + std::to_string(exponent(random));
    const double x = std::strtod(text.c_str(), nullptr);
    values.insert(values.end(), {x, std::nextafter(x, 0.0), std::nextafter(x, 1e308), -x});
  }
  for (const double x : {1234567890123.5, 0.5, 2.5e-5, 9.9999999999995, 9.99999999999949,
                         99999999999995.0, std::numeric_limits<double>::min(),
                         std::numeric_limits<double>::max(), 1e22, 1e23, 5e-324}) {
    values.push_back(x);
  }
  for (const double x : values) {
    const std::string expected = standard_e13(x);
    ASSERT_EQ(e13_left_text(x).substr(0, expected.size()), expected) << x;
  }
}

// ---- "%25g" and the general formats -----------------------------------------------

TEST(GeneralFormat, WritesTheWorkedExamplesOfTheTimeColumn) {
  EXPECT_EQ(shortest_decimal_text(365.0), "365");
  EXPECT_EQ(shortest_decimal_text(0.5), "0.5");
  EXPECT_EQ(shortest_decimal_text(0.0001), "0.0001");
  EXPECT_EQ(shortest_decimal_text(0.00001), "1E-5");
  EXPECT_EQ(shortest_decimal_text(0.0), "0");
  EXPECT_EQ(g15_right_text(365.0), "                      365");
  EXPECT_EQ(g15_right_text(0.00001), "                     1E-5");
}

TEST(GeneralFormat, TrailingZerosAndPointAreRemoved) {
  EXPECT_EQ(shortest_decimal_text(1.0), "1");
  EXPECT_EQ(shortest_decimal_text(10.0), "10");
  EXPECT_EQ(shortest_decimal_text(100.0), "100");
  EXPECT_EQ(shortest_decimal_text(12.5), "12.5");
  EXPECT_EQ(shortest_decimal_text(-2.5), "-2.5");
  EXPECT_EQ(shortest_decimal_text(-0.0), "0");
}

TEST(GeneralFormat, KeepsAtMostFifteenSignificantDigits) {
  EXPECT_EQ(shortest_decimal_text(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(shortest_decimal_text(0.1 + 0.2), "0.3");
  EXPECT_EQ(shortest_decimal_text(123456789012345.6), "123456789012346");
  EXPECT_EQ(shortest_decimal_text(-2.0 / 3.0), "-0.666666666666667");
}

TEST(GeneralFormat, FixedNotationForDecimalExponentsFromMinusThreeToFifteen) {
  EXPECT_EQ(shortest_decimal_text(0.000123), "0.000123");                  // e = -3
  EXPECT_EQ(shortest_decimal_text(0.0000123), "1.23E-5");                  // e = -4
  EXPECT_EQ(shortest_decimal_text(999999999999999.0), "999999999999999");  // e = 15
  EXPECT_EQ(shortest_decimal_text(1e15), "1E15");                          // e = 16
  EXPECT_EQ(shortest_decimal_text(1234567890123456.0), "1.23456789012346E15");
  EXPECT_EQ(shortest_decimal_text(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(shortest_decimal_text(1e-300), "1E-300");
  EXPECT_EQ(shortest_decimal_text(2.5e200), "2.5E200");
}

TEST(GeneralFormat, RoundingDecidesTheNotation) {
  // 999999999999999.9 rounds to 1E15 at 15 digits, which is outside fixed notation.
  EXPECT_EQ(shortest_decimal_text(999999999999999.9), "1E15");
  EXPECT_EQ(general5_text(99999.5), "1E5");
  EXPECT_EQ(general5_text(99999.4), "99999");
}

TEST(GeneralFormat, FiveSignificantDigits) {
  EXPECT_EQ(general5_text(3.14159265), "3.1416");
  EXPECT_EQ(general5_text(12345.6), "12346");
  EXPECT_EQ(general5_text(123456.0), "1.2346E5");
  EXPECT_EQ(general5_text(0.00012345), "0.00012345");
  EXPECT_EQ(general5_text(0.000012345), "1.2345E-5");
  EXPECT_EQ(general5_text(2.0), "2");
  EXPECT_EQ(general5_text(-730.0), "-730");
}

TEST(GeneralFormat, NonFiniteValues) {
  EXPECT_EQ(shortest_decimal_text(kNaN), "Nan");
  EXPECT_EQ(shortest_decimal_text(kInf), "+Inf");
  EXPECT_EQ(g15_right_text(-kInf), "                     -Inf");
}

TEST(GeneralFormat, RandomValuesReadBackToFifteenDigitsAndFitTheField) {
  std::mt19937_64 random(99);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-40, 40);
  char text[kMaxGeneralLength];
  for (int n = 0; n < 20000; ++n) {
    const double x = mantissa(random) * std::pow(10.0, exponent(random));
    char* end = format_general(text, x, 15);
    ASSERT_LE(end - text, 22);
    const double y = parsed(std::string(text, end));
    ASSERT_LE(std::fabs(y - x), 5.0000001e-15 * std::fabs(x)) << std::string(text, end);
    ASSERT_EQ(g15_right_text(x).size(), 25u);
  }
}

// ---- The CSV outputs' round-trip text ----------------------------------------

TEST(RoundTripFormat, WritesTheShortestTextThatReadsBack) {
  EXPECT_EQ(round_trip_text(365.0), "365");
  EXPECT_EQ(round_trip_text(0.5), "0.5");
  EXPECT_EQ(round_trip_text(1e-5), "1e-05");
  EXPECT_EQ(round_trip_text(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(round_trip_text(-2.2250738585072014e-308), "-2.2250738585072014e-308");
  EXPECT_EQ(round_trip_text(-0.0), "0");
  EXPECT_EQ(round_trip_text(kNaN), "NaN");
  EXPECT_EQ(round_trip_text(kInf), "Inf");
  EXPECT_EQ(round_trip_text(-kInf), "-Inf");
}

TEST(RoundTripFormat, RandomValuesReadBackExactly) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<std::uint64_t> bits;
  char text[kMaxRoundTripLength];
  for (int n = 0; n < 20000; ++n) {
    const std::uint64_t b = bits(random);
    double x = 0.0;
    std::memcpy(&x, &b, sizeof x);
    if (!std::isfinite(x)) continue;
    char* end = format_round_trip(text, x);
    double y = 0.0;
    ASSERT_TRUE(parse_number(std::string_view(text, static_cast<std::size_t>(end - text)), y));
    ASSERT_EQ(y, x) << std::string(text, end);
  }
}

std::string real_text(double value) {
  char text[kMaxRoundTripRealLength];
  const char* end = format_round_trip_real(text, value);
  return std::string(text, static_cast<std::size_t>(end - text));
}

TEST(RoundTripRealFormat, WholeNumbersKeepAPointAndOthersAreUnchanged) {
  EXPECT_EQ(real_text(365.0), "365.0");
  EXPECT_EQ(real_text(-1.0), "-1.0");
  EXPECT_EQ(real_text(0.0), "0.0");
  EXPECT_EQ(real_text(-0.0), "0.0");
  EXPECT_EQ(real_text(999.0), "999.0");
  EXPECT_EQ(real_text(0.5), "0.5");
  EXPECT_EQ(real_text(1e-05), "1e-05");
  EXPECT_EQ(real_text(1e20), "1e+20");
  EXPECT_EQ(real_text(kNaN), "NaN");
  EXPECT_EQ(real_text(-kInf), "-Inf");
  // A long whole number in fixed notation (its exact digits) still fits.
  EXPECT_EQ(real_text(-1234567890123456800000.0), "-1234567890123456774144.0");
  EXPECT_LE(real_text(-1234567890123456800000.0).size(), kMaxRoundTripRealLength);
  // Random whole and fractional values read back exactly and always hold a
  // point, an exponent or a non-finite spelling.
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> magnitude(-25.0, 25.0);
  for (int n = 0; n < 20000; ++n) {
    double x = std::pow(10.0, magnitude(random));
    if (n % 2 == 0) x = std::round(x);
    if (n % 3 == 0) x = -x;
    const std::string text = real_text(x);
    double y = 0.0;
    ASSERT_TRUE(parse_number(text, y)) << text;
    ASSERT_EQ(y, x) << text;
    ASSERT_NE(text.find_first_of(".e"), std::string::npos) << text;
  }
}

// ---- Text fields ------------------------------------------------------------------

std::string left(std::string_view text, std::size_t width) {
  std::string out(width, '#');
  format_text_left(out.data(), text, width);
  return out;
}

std::string right(std::string_view text, std::size_t width) {
  std::string out(width, '#');
  format_text_right(out.data(), text, width);
  return out;
}

TEST(TextFieldFormat, PadsShortTexts) {
  EXPECT_EQ(left("Time", 25), "Time                     ");
  EXPECT_EQ(right("Time", 25), "                     Time");
  EXPECT_EQ(left("days", 26), "days                      ");
  EXPECT_EQ(left("", 5), "     ");
  EXPECT_EQ(right("", 5), "     ");
}

TEST(TextFieldFormat, CutsLongTextsAfterTheirFirstCharacters) {
  const std::string units = "mmH2O m2 gnd m-2 leaf day-1";  // 27 characters
  EXPECT_EQ(left(units, 25), "mmH2O m2 gnd m-2 leaf day");
  EXPECT_EQ(right(units, 25), "mmH2O m2 gnd m-2 leaf day");
  EXPECT_EQ(left(units, 26), "mmH2O m2 gnd m-2 leaf day-");
  EXPECT_EQ(left("exactly twenty-five chars", 25), "exactly twenty-five chars");
}

// ---- Reading numbers ----------------------------------------------------------------

TEST(NumberParsing, ReadsSignsFractionsAndExponents) {
  const std::pair<const char*, double> cases[] = {
      {"1.5", 1.5},
      {"+1.5", 1.5},
      {"-1.5", -1.5},
      {"2.5", 2.5},
      {"-3e-2", -0.03},
      {"1E+03", 1000.0},
      {"1e3", 1000.0},
      {"7", 7.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"-0", -0.0},
      {"1.50000000000000E+0000", 1.5},
      {"-1.25000000000000E-0003", -0.00125},
      {"4.94065645841247E-0324", 4.94065645841247E-324},
  };
  for (const auto& [text, expected] : cases) {
    double value = 0.0;
    EXPECT_TRUE(parse_number(text, value)) << text;
    EXPECT_EQ(value, expected) << text;
  }
}

TEST(NumberParsing, ReadsTheNonFiniteSpellingsItWrites) {
  double value = 0.0;
  ASSERT_TRUE(parse_number("Nan", value));
  EXPECT_TRUE(std::isnan(value));
  ASSERT_TRUE(parse_number("+Inf", value));
  EXPECT_EQ(value, kInf);
  ASSERT_TRUE(parse_number("-Inf", value));
  EXPECT_EQ(value, -kInf);
}

TEST(NumberParsing, RefusesAnythingElseAndLeavesTheValue) {
  for (const char* text : {"", "+", "-", "+-1", "--1", "1.5abc", "1,5", "abc", "0x10", "1e", "1e+",
                           "e5", " 1", "1 ", "1e400", "-1e400", "1.2.3", "++1"}) {
    double value = 42.0;
    EXPECT_FALSE(parse_number(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 42.0) << text;
  }
}

TEST(NumberParsing, FormatsIgnoreADecimalCommaLocale) {
  const char* chosen = nullptr;
  for (const char* name :
       {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(param_real_text(1.5), " 1.50000000000000E+0000");
  EXPECT_EQ(e13_right_text(-0.00125), "     -1.250000000000E-003");
  EXPECT_EQ(shortest_decimal_text(2.5), "2.5");
  double value = 0.0;
  EXPECT_TRUE(parse_number("2.5", value));
  EXPECT_EQ(value, 2.5);
  EXPECT_FALSE(parse_number("2,5", value));
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace vindrel
