// Sample files: one row of factor values per run of a study.
//
// A sample file is CSV: a header of the factor names in the factors file's
// order, then one row per run, each number the shortest text that reads back
// to the same double. A SALib sample matrix (numbers only, separated by
// blanks, tabs or commas, no header) is read too: its columns are the factors
// in order.
#pragma once

#include <string>
#include <vector>

#include "core/model.hpp"
#include "study/factors.hpp"

namespace vindrel::study {

struct SampleTable {
  std::vector<std::string> names;         // one per factor, in factor order
  std::vector<std::vector<double>> rows;  // one per run; each as long as `names`
  std::string file_name;                  // the file it was read from, for messages
};

// Reads a sample file or a plain matrix whose columns are `factors`. Throws
// EInOutError with the file and the line for a header that does not name the
// factors in order, a row with the wrong count of values, a value that is not
// a finite number, and a file without rows.
SampleTable read_samples(const std::string& file_name, const std::vector<Factor>& factors);

// The same from a text in memory; `file_name` names it in messages.
SampleTable parse_samples(const std::string& text, const std::string& file_name,
                          const std::vector<Factor>& factors);

// The sample file's text (header and rows, LF line ends).
std::string samples_text(const SampleTable& table);

// Writes the sample file through the safe writer: a failed write leaves any
// previous file as it was.
void write_samples(const std::string& file_name, const SampleTable& table);

// Sets the entries named by `factors` to the values of `row` (one per factor).
void apply_sample(Model& model, const std::vector<Factor>& factors, const std::vector<double>& row);

}  // namespace vindrel::study
