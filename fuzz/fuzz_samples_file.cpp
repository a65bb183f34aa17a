// Fuzzes the sample file reader of studies, for three factors. Whatever the
// bytes, parse_samples must either throw EInOutError naming the file and a
// line of it, or give at least one row of three finite values; the table
// written as a sample file reads back to the same doubles, bit for bit.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fuzz/fuzz_support.hpp"
#include "study/factors.hpp"
#include "study/samples.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

std::size_t line_count(const std::string& text) {
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

const std::vector<study::Factor>& factors() {
  static const std::vector<study::Factor> list =
      study::parse_factors("factor,low,high\nmF,20,40\nstate:Cf,4,8\nparameter#12,0.1,0.3\n",
                           "factors.csv", make_model());
  return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  study::SampleTable table;
  try {
    table = study::parse_samples(text, "input.csv", factors());
  } catch (const EInOutError& error) {
    check(error.file() == "input.csv", "the error does not name the file");
    check(!error.message().empty(), "the error has no message");
    check(error.line() <= line_count(text), "the error names a line past the end of the file");
    return 0;
  }
  check(!table.rows.empty(), "a sample without rows was read");
  check(table.names.size() == 3, "the sample does not name the three factors");
  for (const std::vector<double>& row : table.rows) {
    check(row.size() == 3, "a row without one value per factor");
    for (const double value : row) check(std::isfinite(value), "a value that is not finite");
  }
  study::SampleTable again;
  try {
    again = study::parse_samples(study::samples_text(table), "again.csv", factors());
  } catch (const EInOutError& error) {
    fuzzing::broken(error.what());
  }
  check(again.rows.size() == table.rows.size(), "a written sample reads back another row count");
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    for (std::size_t i = 0; i < 3; ++i) {
      check(fuzzing::same_bits(again.rows[r][i], table.rows[r][i]),
            "a written sample reads back other values");
    }
  }
  return 0;
}
