// The ticks and labels of the output display's chart axes, free of Qt: where
// the ticks of a linear or logarithmic axis go, which of them carry a label,
// and how a label is written.
#pragma once

#include <string>
#include <vector>

namespace vindrel::ui {

struct Tick {
  double value = 0.0;
  bool labelled = true;  // a major tick with its label; otherwise a minor tick
};

// A "nice" tick interval (1, 2 or 5 times a power of ten) giving about
// `ticks` intervals over low..high.
double nice_increment(double low, double high, int ticks = 8);
// The decimals that write ticks `increment` apart, 0 to 5 (0.25 needs two).
int label_decimals(double increment);

// The ticks of a linear axis over low..high: `anchor` + k * increment. An
// increment that would draw more than `most` ticks (or none) gives way to a
// nice one.
std::vector<Tick> linear_ticks(double low, double high, double increment, double anchor,
                               int most = 100);

// The ticks of a logarithmic axis over low..high (both above 0): every decade
// labelled when the axis spans two or more (every second, fifth... when there
// are too many for `most_labels`), with minor ticks at 2..9; 1, 2 and 5 times
// each decade over less than two decades; every integer multiple over less
// than about half a decade; and nice linear ticks when even those leave fewer
// than two labels.
std::vector<Tick> logarithmic_ticks(double low, double high, int most_labels = 10);

// A time axis in model years of `year_days` days: ticks on the first day of
// every year, or of the years that are multiples of 2, 5, 10... when there
// would be more than about `wanted` (year k begins at day year_days (k - 1) + 1).
std::vector<Tick> model_year_ticks(double low, double high, double year_days, int wanted = 8);
// The model year (1, 2, ...) that begins on day `first_day`.
double model_year_of(double first_day, double year_days);

// Labels are typeset for print: a true minus sign (U+2212), thousands
// separated by commas on both axes, and exponents as superscripts ("2×10⁻¹¹");
// the text is UTF-8.

// The independent axis's "#,##0.0": thousands separated by commas and
// `decimals` decimals ("35,000.0"; "35,000" with none).
std::string independent_label(double value, int decimals = 1);
// The dependent axis's "####0.#####": up to five decimals, trailing zeros
// dropped ("2,400", "0.5", "0.00012").
std::string dependent_label(double value);
// The labels of ticks `increment` apart on a dependent axis: the axis's own
// format while its five decimals tell the ticks apart and the values stay
// below a billion; otherwise each in exponent form with the significant
// digits the increment needs ("5.5×10⁻¹¹", "5.6×10⁻¹¹"), 0 as "0".
std::vector<std::string> dependent_labels(const std::vector<double>& values, double increment);
// A logarithmic axis's label: as the axis's own format between 0.0001 and a
// million, otherwise in exponent form ("10⁻⁷", "2×10⁹").
std::string logarithmic_label(double value, bool independent);

// Whether values from `low` to `high` differ by no more than the rounding of
// the arithmetic that made them: in their last two or three significant
// digits, or all within 1e-15 of 0 (the residue of subtracting quantities of
// the model's usual size, which no model quantity is in its units).
bool rounding_noise(double low, double high);

}  // namespace vindrel::ui
