// The factors of a study: the parameters and initial states that a study
// varies, each between a low and a high value.
//
// A factors file is CSV (UTF-8, LF or CRLF line ends). Blank lines and lines
// that start with "#" are skipped. The first other line is the header
// "factor,low,high"; every line after it names one factor:
//
//   factor,low,high
//   mF,20,40
//   state:Cf,4,8
//   parameter#12,0.1,0.3
//
// The factor is a parameter or initial-state symbol when it names exactly one
// entry of the two tables; otherwise it is qualified by its table
// ("parameter:SYMBOL", "state:SYMBOL") or given by its 1-based position
// ("parameter#N", "state#N"). The text as written is the factor's name in
// sample and results files.
#pragma once

#include <string>
#include <vector>

#include "core/model.hpp"

namespace vindrel::study {

enum class FactorKind { kParameter, kState };

struct Factor {
  std::string name;  // as written in the factors file
  FactorKind kind;
  int position;  // 1-based entry of the parameter or state table
  double low;
  double high;
};

// Reads a factors file; `model` gives the symbols (its definition is enough).
// Throws EInOutError with the file, the line and what was expected for an
// unknown or ambiguous symbol, a position out of range, low >= high, a number
// that is not finite, a wrong count of fields, a factor given twice, a missing
// header and a file without factors.
std::vector<Factor> read_factors(const std::string& file_name, const Model& model);

// The same from a text in memory; `file_name` names it in messages.
std::vector<Factor> parse_factors(const std::string& text, const std::string& file_name,
                                  const Model& model);

// The model's current value of the entry a factor names.
double factor_value(const Model& model, const Factor& factor);

}  // namespace vindrel::study
