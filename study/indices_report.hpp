// Sensitivity indices as text: a CSV file for R and pandas, and an aligned
// table for people.
//
// CSV (LF line ends, factors in the factors file's order, numbers as the
// shortest text that reads back to the same double, NA where there is no
// value, such as an interval without bootstrap):
//   factor,mu,mu_star,sigma,mu_star_low,mu_star_high
//   factor,S1,S1_low,S1_high,ST,ST_low,ST_high
// The table lists the factors from the most to the least influential (by mu*
// or by ST), numbers to four significant digits.
#pragma once

#include <string>
#include <vector>

#include "study/analysis.hpp"
#include "study/factors.hpp"

namespace vindrel::study {

std::string morris_csv(const std::vector<Factor>& factors, const MorrisIndices& indices);
std::string sobol_csv(const std::vector<Factor>& factors, const SobolIndices& indices);

std::string morris_table(const std::vector<Factor>& factors, const MorrisIndices& indices);
std::string sobol_table(const std::vector<Factor>& factors, const SobolIndices& indices);

}  // namespace vindrel::study
