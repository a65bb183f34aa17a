#include "fileio/number_format.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace vindrel {
namespace {

// A finite, non-zero magnitude rounded to a number of significant digits:
// magnitude = d[0].d[1]d[2]... x 10^exponent.
struct Decimal {
  char digits[24];
  int count = 0;  // significant digits held in `digits`
  int exponent = 0;
};

// Rounds |value| (finite, not zero) to `significant` digits (1 to 17).
Decimal to_decimal(double value, int significant) noexcept {
  char text[48];
  const auto result = std::to_chars(text, text + sizeof text, std::fabs(value),
                                    std::chars_format::scientific, significant - 1);
  // The text reads d[.ddd]e(+|-)dd...
  Decimal decimal;
  const char* p = text;
  for (; p != result.ptr && *p != 'e'; ++p) {
    if (*p != '.') decimal.digits[decimal.count++] = *p;
  }
  ++p;  // 'e'
  const bool negative = *p == '-';
  ++p;
  int exponent = 0;
  for (; p != result.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  decimal.exponent = negative ? -exponent : exponent;
  // A value within half a unit of the last digit of the largest double rounds up
  // past it (1.79769313486232E+308 with 15 digits), and that text would not read
  // back as a number. Such a value keeps its digits cut instead of rounded.
  if (decimal.exponent == std::numeric_limits<double>::max_exponent10) {
    char check[48];
    char* q = check;
    *q++ = decimal.digits[0];
    *q++ = '.';
    for (int i = 1; i < decimal.count; ++i) *q++ = decimal.digits[i];
    std::memcpy(q, "e308", 4);
    q += 4;
    double back = 0.0;
    if (std::from_chars(check, q, back).ec == std::errc::result_out_of_range) {
      for (int i = decimal.count - 1; i >= 0; --i) {
        if (decimal.digits[i] != '0') {
          --decimal.digits[i];
          break;
        }
        decimal.digits[i] = '9';
      }
    }
  }
  return decimal;
}

// The spelling of a value that is not finite.
const char* non_finite_text(double value) noexcept {
  if (std::isnan(value)) return "Nan";
  return value > 0 ? "+Inf" : "-Inf";
}

// Writes that spelling, unpadded.
char* write_non_finite(char* out, double value) noexcept {
  const char* text = non_finite_text(value);
  const std::size_t length = std::strlen(text);
  std::memcpy(out, text, length);
  return out + length;
}

char* pad(char* out, std::size_t count) noexcept {
  std::memset(out, ' ', count);
  return out + count;
}

// Right-aligns the `length` characters at `text` in `width` characters.
char* place_right(char* out, const char* text, std::size_t length, std::size_t width) noexcept {
  out = pad(out, width - length);
  std::memcpy(out, text, length);
  return out + length;
}

char* place_left(char* out, const char* text, std::size_t length, std::size_t width) noexcept {
  std::memcpy(out, text, length);
  return pad(out + length, width - length);
}

// Writes the exponent's digits, at least `minimum` of them, with leading zeros.
char* write_exponent_digits(char* out, int exponent, int minimum) noexcept {
  char reversed[8];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + exponent % 10);
    exponent /= 10;
  } while (exponent > 0);
  while (count < minimum) reversed[count++] = '0';
  while (count > 0) *out++ = reversed[--count];
  return out;
}

// Scientific notation with 13 significant digits and at least three exponent
// digits, unpadded: [-]d.ddddddddddddE(+|-)ddd, from std::to_chars with that
// precision. Returns the end.
char* write_e13_exactly(char* out, double value) noexcept {
  // std::to_chars writes d.dddddddddddde(+|-)dd[d]: the 14 characters of the
  // mantissa are kept, the exponent gets "E" and at least three digits. (At 13
  // digits no double rounds up past the largest one, so every text reads back.)
  char text[32];
  const char* end =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 12)
          .ptr;
  if (value < 0) *out++ = '-';
  std::memcpy(out, text, 14);
  out += 14;
  *out++ = 'E';
  *out++ = text[15];
  const char* digits = text + 16;
  if (end - digits < 3) *out++ = '0';
  while (digits != end) *out++ = *digits++;
  return out;
}

// Powers of ten in extended precision, each the nearest to the exact power
// (read with strtold, which rounds correctly): kTenFirst to kTenLast, what
// scales any double to 13 digits before its decimal point.
constexpr int kTenFirst = -300;
constexpr int kTenLast = 340;

const long double* powers_of_ten() noexcept {
  static const auto table = [] {
    std::array<long double, kTenLast - kTenFirst + 1> powers{};
    for (int p = kTenFirst; p <= kTenLast; ++p) {
      char text[16];
      std::memcpy(text, "1e", 2);
      const char* end = std::to_chars(text + 2, text + sizeof text - 1, p).ptr;
      *const_cast<char*>(end) = '\0';
      powers[static_cast<std::size_t>(p - kTenFirst)] = std::strtold(text, nullptr);
    }
    return powers;
  }();
  return table.data();
}

// Writes the `count` decimal digits of `value` (below 10^count), with leading zeros.
char* write_digits(char* out, std::uint32_t value, int count) noexcept {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char* end = out + count;
  char* p = end;
  for (; count >= 2; count -= 2) {
    p -= 2;
    std::memcpy(p, kPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (count == 1) *--p = static_cast<char>('0' + value);
  return end;
}

// The same text as write_e13_exactly, at a fraction of its cost: the value is
// scaled by a power of ten to 13 digits before the point in extended
// precision, whose 64-bit mantissa keeps the scaled value within 2e-6 of the
// exact one; it is rounded there unless it lies within 1e-4 of halfway
// between two integers, where the exact routine decides (as it does for the
// subnormal doubles).
char* write_e13(char* out, double value) noexcept {
  if (!std::isfinite(value)) return write_non_finite(out, value);
  if (value == 0.0) {
    static constexpr char kZero[] = "0.000000000000E+000";
    std::memcpy(out, kZero, sizeof kZero - 1);
    return out + sizeof kZero - 1;
  }
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int binary_exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
  if (std::numeric_limits<long double>::digits < 64 || binary_exponent == -1023) {
    return write_e13_exactly(out, value);
  }
  const long double magnitude = std::fabs(value);
  // The decimal exponent within one: log10(2) x the binary exponent, rounded
  // down; then the one that scales the value to between 10^12 and 10^13.
  // (Near either bound, where the error could choose the other exponent, both
  // give the same text: 1 followed by zeros.)
  int exponent = (binary_exponent * 1233) >> 12;
  const long double* ten = powers_of_ten();
  long double scaled = magnitude * ten[12 - exponent - kTenFirst];
  if (scaled >= 1e13L) {
    ++exponent;
    scaled = magnitude * ten[12 - exponent - kTenFirst];
  } else if (scaled < 1e12L) {
    --exponent;
    scaled = magnitude * ten[12 - exponent - kTenFirst];
  }
  // Adding 2^63 leaves the nearest integer in the mantissa (the scaled value
  // is below 2^44), without a change of the x87 rounding mode.
  const long double nearest = (scaled + 0x1p63L) - 0x1p63L;
  if (std::fabs(std::fabs(scaled - nearest) - 0.5L) < 1e-4L) return write_e13_exactly(out, value);
  auto digits = static_cast<std::uint64_t>(static_cast<double>(nearest));
  if (digits == 10000000000000) {
    digits = 1000000000000;
    ++exponent;
  }
  if (value < 0) *out++ = '-';
  *out++ = static_cast<char>('0' + digits / 1000000000000);
  *out++ = '.';
  digits %= 1000000000000;
  out = write_digits(out, static_cast<std::uint32_t>(digits / 1000000), 6);
  out = write_digits(out, static_cast<std::uint32_t>(digits % 1000000), 6);
  *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  return write_digits(out, static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent), 3);
}

}  // namespace

char* format_param_real(char* out, double value) noexcept {
  if (!std::isfinite(value)) {
    const char* text = non_finite_text(value);
    return place_right(out, text, std::strlen(text), kParamRealWidth);
  }
  if (value == 0.0) {
    static constexpr char kZero[] = " 0.00000000000000E+0000";
    std::memcpy(out, kZero, kParamRealWidth);
    return out + kParamRealWidth;
  }
  const Decimal decimal = to_decimal(value, 15);
  char* p = out;
  *p++ = value < 0 ? '-' : ' ';
  *p++ = decimal.digits[0];
  *p++ = '.';
  std::memcpy(p, decimal.digits + 1, 14);
  p += 14;
  *p++ = 'E';
  *p++ = decimal.exponent < 0 ? '-' : '+';
  write_exponent_digits(p, std::abs(decimal.exponent), 4);
  return out + kParamRealWidth;
}

char* format_e13_left(char* out, double value) noexcept {
  char text[32];
  const char* end = write_e13(text, value);
  return place_left(out, text, static_cast<std::size_t>(end - text), kFieldWidth);
}

char* format_e13_right(char* out, double value) noexcept {
  char text[32];
  const char* end = write_e13(text, value);
  return place_right(out, text, static_cast<std::size_t>(end - text), kFieldWidth);
}

char* format_general(char* out, double value, int precision) noexcept {
  if (!std::isfinite(value)) return write_non_finite(out, value);
  if (value == 0.0) {
    *out = '0';
    return out + 1;
  }
  if (precision < 1) precision = 1;
  if (precision > 17) precision = 17;
  const Decimal decimal = to_decimal(value, precision);
  int count = decimal.count;
  while (count > 1 && decimal.digits[count - 1] == '0') --count;
  const int x = decimal.exponent;  // value = d.ddd x 10^x, that is 0.dddd x 10^(x + 1)
  if (value < 0) *out++ = '-';
  if (x + 1 >= -3 && x + 1 <= precision) {
    if (x >= 0) {
      for (int i = 0; i <= x; ++i) *out++ = i < count ? decimal.digits[i] : '0';
      if (count > x + 1) {
        *out++ = '.';
        for (int i = x + 1; i < count; ++i) *out++ = decimal.digits[i];
      }
    } else {
      *out++ = '0';
      *out++ = '.';
      for (int i = 0; i < -x - 1; ++i) *out++ = '0';
      for (int i = 0; i < count; ++i) *out++ = decimal.digits[i];
    }
    return out;
  }
  *out++ = decimal.digits[0];
  if (count > 1) {
    *out++ = '.';
    for (int i = 1; i < count; ++i) *out++ = decimal.digits[i];
  }
  *out++ = 'E';
  if (x < 0) *out++ = '-';
  return write_exponent_digits(out, std::abs(x), 1);
}

char* format_g15_right(char* out, double value) noexcept {
  char text[kMaxGeneralLength];
  const char* end = format_general(text, value, 15);
  return place_right(out, text, static_cast<std::size_t>(end - text), kFieldWidth);
}

char* format_text_left(char* out, std::string_view text, std::size_t width) noexcept {
  const std::size_t length = text.size() < width ? text.size() : width;
  return place_left(out, text.data(), length, width);
}

char* format_text_right(char* out, std::string_view text, std::size_t width) noexcept {
  const std::size_t length = text.size() < width ? text.size() : width;
  return place_right(out, text.data(), length, width);
}

bool parse_number(std::string_view token, double& value) noexcept {
  const char* p = token.data();
  const char* end = p + token.size();
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars takes a "-" of its own; a second sign is not a number.
  if (p == end || *p == '+' || *p == '-') return false;
  double parsed = 0.0;
  const auto result = std::from_chars(p, end, parsed, std::chars_format::general);
  if (result.ec != std::errc{} || result.ptr != end) return false;
  value = negative ? -parsed : parsed;
  return true;
}

namespace {
// A fixed-width field formatted into its own string.
std::string field_text(std::size_t width, char* (*format)(char*, double) noexcept, double value) {
  std::string text(width, ' ');
  format(text.data(), value);
  return text;
}
}  // namespace

std::string param_real_text(double value) {
  return field_text(kParamRealWidth, format_param_real, value);
}
std::string e13_left_text(double value) { return field_text(kFieldWidth, format_e13_left, value); }
std::string e13_right_text(double value) {
  return field_text(kFieldWidth, format_e13_right, value);
}
std::string g15_right_text(double value) {
  return field_text(kFieldWidth, format_g15_right, value);
}

std::string shortest_decimal_text(double value) {
  char text[kMaxGeneralLength];
  const char* end = format_general(text, value, 15);
  return std::string(text, static_cast<std::size_t>(end - text));
}

char* format_round_trip(char* out, double value) noexcept {
  if (!std::isfinite(value)) {
    const char* text = std::isnan(value) ? "NaN" : value > 0 ? "Inf" : "-Inf";
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
  }
  if (value == 0.0) {
    *out = '0';
    return out + 1;
  }
  return std::to_chars(out, out + kMaxRoundTripLength, value).ptr;
}

char* format_round_trip_real(char* out, double value) noexcept {
  char* end = format_round_trip(out, value);
  // Fixed notation without a point: only digits after an optional sign.
  const char* digits = *out == '-' ? out + 1 : out;
  if (digits < end && std::all_of(digits, static_cast<const char*>(end),
                                  [](char c) { return c >= '0' && c <= '9'; })) {
    *end++ = '.';
    *end++ = '0';
  }
  return end;
}

std::string round_trip_text(double value) {
  char text[kMaxRoundTripLength];
  const char* end = format_round_trip(text, value);
  return std::string(text, static_cast<std::size_t>(end - text));
}

std::string general5_text(double value) {
  char text[kMaxGeneralLength];
  const char* end = format_general(text, value, 5);
  return std::string(text, static_cast<std::size_t>(end - text));
}

}  // namespace vindrel
