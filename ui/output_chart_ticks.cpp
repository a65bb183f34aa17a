#include "ui/output_chart_ticks.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace vindrel::ui {
namespace {

constexpr const char* kMinus = "\u2212";

// A leading '-' as a true minus sign.
std::string typeset_minus(std::string text) {
  if (!text.empty() && text.front() == '-') text.replace(0, 1, kMinus);
  return text;
}

std::string fixed_text(double value, int decimals) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "?";
  std::string text(buffer, result.ptr);
  // A value that rounds to zero is written without its sign.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

// Commas before every third digit of the whole part, counted from the point.
std::string with_thousands(const std::string& digits) {
  const std::size_t sign = digits.front() == '-' ? 1 : 0;
  std::size_t point = digits.find('.');
  if (point == std::string::npos) point = digits.size();
  std::string text;
  text.reserve(digits.size() + point / 3);
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > sign && k < point && (point - k) % 3 == 0) text += ',';
    text += digits[k];
  }
  return typeset_minus(text);
}

// Trailing zeros go, and the point with them when nothing follows it.
std::string without_trailing_zeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  std::size_t end = text.find_last_not_of('0') + 1;
  if (text[end - 1] == '.') --end;
  return text.substr(0, end);
}

std::string superscript(int number) {
  static const char* const kDigits[] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074",
                                        "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
  std::string text = number < 0 ? "\u207b" : "";
  for (const char digit : std::to_string(std::abs(number))) text += kDigits[digit - '0'];
  return text;
}

// value as mantissa × 10^exponent, the mantissa with `decimals` decimals;
// a mantissa of 1 is left out ("10⁻⁷").
std::string exponent_text(double value, int exponent, int decimals, bool bare_powers) {
  if (value == 0.0) return "0";
  const double mantissa = value / std::pow(10.0, exponent);
  const std::string digits = fixed_text(mantissa, decimals);
  const std::string power = "10" + superscript(exponent);
  if (bare_powers && std::abs(std::abs(mantissa) - 1.0) < 1e-9)
    return (mantissa < 0 ? std::string(kMinus) : std::string()) + power;
  return typeset_minus(digits) + "\u00d7" + power;
}

int decade(double value) { return static_cast<int>(std::floor(std::log10(std::abs(value)))); }

// Whether v lies within low..high, allowing for rounding in the tick's arithmetic.
bool within(double v, double low, double high) {
  const double slack = (high - low) * 1e-9;
  return v >= low - slack && v <= high + slack;
}

}  // namespace

double nice_increment(double low, double high, int ticks) {
  const double span = std::abs(high - low);
  if (!std::isfinite(span) || span <= 0.0) return 1.0;
  const double raw = span / std::max(1, ticks);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  // The nearest of 1, 2 and 5 (not the next larger), so that an axis gets
  // between about 0.7 and 1.5 times the ticks asked for, never a bare three.
  const double nice = fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0;
  return nice * power;
}

int label_decimals(double increment) {
  if (!std::isfinite(increment) || increment <= 0.0) return 1;
  // The fewest decimals that write the increment (0.25 needs two, 0.5 one).
  for (int decimals = 0; decimals < 5; ++decimals) {
    const double scaled = increment * std::pow(10.0, decimals);
    if (std::abs(scaled - std::round(scaled)) <= 1e-6 * scaled) return decimals;
  }
  return 5;
}

std::vector<Tick> linear_ticks(double low, double high, double increment, double anchor, int most) {
  std::vector<Tick> ticks;
  if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) return ticks;
  if (!(increment > 0.0) || !std::isfinite(increment) || (high - low) / increment > most) {
    increment = nice_increment(low, high);
    anchor = 0.0;
  }
  const double first = anchor + std::ceil((low - anchor) / increment - 1e-9) * increment;
  for (int k = 0;; ++k) {
    double v = first + k * increment;
    if (v > high + (high - low) * 1e-9) break;
    // A tick at 0 computed as 1e-17 is 0.
    if (std::abs(v) < increment * 1e-9) v = 0.0;
    ticks.push_back({v, true});
  }
  return ticks;
}

std::vector<Tick> logarithmic_ticks(double low, double high, int most_labels) {
  std::vector<Tick> ticks;
  if (!(low > 0.0) || !(high > low) || !std::isfinite(high)) return ticks;
  const double decades = std::log10(high) - std::log10(low);
  const int first = static_cast<int>(std::floor(std::log10(low)));
  const int last = static_cast<int>(std::ceil(std::log10(high)));
  const auto multiples = [&](std::initializer_list<int> labelled, bool minor, int every) {
    std::vector<Tick> made;
    for (int e = first; e <= last; ++e) {
      const double power = std::pow(10.0, e);
      for (int m = 1; m <= 9; ++m) {
        const double v = m * power;
        if (!within(v, low, high)) continue;
        const bool label = std::find(labelled.begin(), labelled.end(), m) != labelled.end() &&
                           (m != 1 || every == 1 || e % every == 0);
        if (label || (minor && (m == 1 || every == 1))) made.push_back({v, label});
      }
    }
    return made;
  };
  const auto labels = [](const std::vector<Tick>& made) {
    return std::count_if(made.begin(), made.end(), [](const Tick& t) { return t.labelled; });
  };
  if (decades >= 2.0) {
    // The decades an axis shows are one more than it spans.
    const int every = std::max(1, static_cast<int>(std::ceil((decades + 1.0) / most_labels)));
    // Minor ticks at 2..9 only while the decades are wide enough to hold them.
    return multiples({1}, decades <= 8.0, every);
  }
  ticks = multiples({1, 2, 5}, true, 1);
  if (decades >= 0.6 && labels(ticks) >= 3) return ticks;
  ticks = multiples({1, 2, 3, 4, 5, 6, 7, 8, 9}, false, 1);
  if (labels(ticks) >= 3) return ticks;
  // Within one stretch of a decade (2.1 to 2.9): ticks as on a linear axis.
  return linear_ticks(low, high, nice_increment(low, high, 5), 0.0);
}

std::vector<Tick> model_year_ticks(double low, double high, double year_days, int wanted) {
  std::vector<Tick> ticks;
  if (!(high > low) || !std::isfinite(low) || !std::isfinite(high) || !(year_days > 0.0))
    return ticks;
  const double first_year = model_year_of(low, year_days);
  const double last_year = model_year_of(high, year_days);
  // Every year, or the years that are multiples of a nice number of years.
  const double every = std::max(1.0, std::round(nice_increment(first_year, last_year, wanted)));
  for (double year = std::ceil(first_year); year <= last_year + 1e-9; ++year) {
    const double day = year_days * (year - 1.0) + 1.0;
    if (day < low - 1e-9 || day > high + 1e-9) continue;
    if (every > 1.0 && std::fmod(year, every) != 0.0) continue;
    ticks.push_back({day, true});
  }
  return ticks;
}

double model_year_of(double first_day, double year_days) {
  return (first_day - 1.0) / year_days + 1.0;
}

std::string independent_label(double value, int decimals) {
  return with_thousands(fixed_text(value, std::max(0, decimals)));
}

std::string dependent_label(double value) {
  return with_thousands(without_trailing_zeros(fixed_text(value, 5)));
}

std::vector<std::string> dependent_labels(const std::vector<double>& values, double increment) {
  std::vector<std::string> labels;
  double largest = 0.0;
  for (const double v : values) largest = std::max(largest, std::abs(v));
  const bool step_known = std::isfinite(increment) && increment > 0.0;
  const bool fixed = largest < 1e9 && (!step_known || increment >= 1e-5 * (1.0 - 1e-9));
  if (fixed || largest == 0.0 || !std::isfinite(largest)) {
    const int decimals = step_known ? label_decimals(increment) : 5;
    for (const double v : values)
      labels.push_back(with_thousands(without_trailing_zeros(fixed_text(v, decimals))));
    return labels;
  }
  // One exponent for the axis, that of its largest value; the mantissas get
  // the decimals that tell the ticks apart.
  const int exponent = decade(largest);
  const int decimals =
      step_known
          ? std::clamp(exponent - static_cast<int>(std::floor(std::log10(increment) + 1e-9)), 0, 15)
          : 3;
  for (const double v : values) {
    // A tick at 0 computed with rounding is 0.
    const bool zero = step_known && std::abs(v) < increment * 1e-6;
    labels.push_back(exponent_text(zero ? 0.0 : v, exponent, decimals, false));
  }
  return labels;
}

std::string logarithmic_label(double value, bool independent) {
  const double size = std::abs(value);
  if (size >= 1e-4 && size < 1e6) {
    if (!independent) return dependent_label(value);
    // As many decimals as the value has, at least the format's one.
    const int decimals = size >= 1.0 ? 1 : std::clamp(label_decimals(size), 1, 5);
    return independent_label(value, decimals);
  }
  if (!(size > 0.0) || !std::isfinite(size)) return typeset_minus(fixed_text(value, 0));
  const int exponent = decade(value);
  // Ticks on a logarithmic axis are whole multiples of their decade.
  return exponent_text(value, exponent, 0, true);
}

bool rounding_noise(double low, double high) {
  if (!std::isfinite(low) || !std::isfinite(high) || high < low) return false;
  const double largest = std::max(std::abs(low), std::abs(high));
  return largest <= 1e-15 || high - low <= largest * 1e-13;
}

}  // namespace vindrel::ui
