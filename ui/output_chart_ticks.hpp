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
// The decimals a label needs to tell ticks `increment` apart, 0 to 5.
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

// The independent axis's "#,##0.0": thousands separated by commas, at least
// one decimal ("35,000.0"); `decimals` more where the ticks need them.
std::string independent_label(double value, int decimals = 1);
// The dependent axis's "####0.#####": up to five decimals, trailing zeros
// dropped ("2400", "0.5", "0.00012").
std::string dependent_label(double value);
// A logarithmic axis's label: as the axis's own format between 0.0001 and a
// million, otherwise in exponent form ("1e-07", "1e+09").
std::string logarithmic_label(double value, bool independent);

}  // namespace vindrel::ui
