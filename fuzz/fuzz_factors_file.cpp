// Fuzzes the factors file reader of studies. Whatever the bytes, parse_factors
// must either throw EInOutError naming the file and a line of it, or give
// factors that name distinct entries of the model's tables, each with a name
// and finite bounds low < high; written back as a factors file, they read back
// the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fuzz/fuzz_support.hpp"
#include "study/factors.hpp"
#include "study/text_lines.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

std::size_t line_count(const std::string& text) {
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

bool same_factors(const std::vector<study::Factor>& a, const std::vector<study::Factor>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].kind != b[i].kind || a[i].position != b[i].position ||
        !fuzzing::same_bits(a[i].low, b[i].low) || !fuzzing::same_bits(a[i].high, b[i].high)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Model model = make_model();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<study::Factor> factors;
  try {
    factors = study::parse_factors(text, "input.csv", model);
  } catch (const EInOutError& error) {
    check(error.file() == "input.csv", "the error does not name the file");
    check(!error.message().empty(), "the error has no message");
    check(error.line() <= line_count(text), "the error names a line past the end of the file");
    return 0;
  }
  check(!factors.empty(), "a file without factors was read");
  std::string again = "factor,low,high\n";
  for (std::size_t i = 0; i < factors.size(); ++i) {
    const study::Factor& factor = factors[i];
    check(!factor.name.empty(), "a factor without a name");
    check(factor.low < factor.high, "a factor whose low value is not below its high value");
    const int count = factor.kind == study::FactorKind::kParameter ? model.ModelInfo.ParameterCount
                                                                   : model.ModelInfo.StateCount;
    check(factor.position >= 1 && factor.position <= count, "a position out of range");
    for (std::size_t j = 0; j < i; ++j) {
      check(factors[j].kind != factor.kind || factors[j].position != factor.position,
            "two factors name the same entry");
    }
    again += factor.name + "," + study::shortest_text(factor.low) + "," +
             study::shortest_text(factor.high) + "\n";
  }
  std::vector<study::Factor> read_again;
  try {
    read_again = study::parse_factors(again, "again.csv", model);
  } catch (const EInOutError& error) {
    fuzzing::broken(error.what());
  }
  check(same_factors(factors, read_again), "factors written back read back differently");
  return 0;
}
