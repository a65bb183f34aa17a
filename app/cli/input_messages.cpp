#include "app/cli/input_messages.hpp"

#include <cmath>
#include <optional>
#include <stdexcept>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "fileio/token_reader.hpp"
#include "run/run_options_check.hpp"

namespace vindrel::cli {
namespace {

// What a parameter file's first line holds, as it may be shown: control
// characters and bytes outside ASCII become '?', trailing blanks go, and a long
// line is cut.
std::string first_line_shown(const std::string& file_name) {
  constexpr std::size_t kShown = 60;
  TokenReader reader;
  try {
    reader.open(file_name);
    std::string line = reader.read_line(kShown + 1);
    if (line.empty() && reader.line() == 1) return "an empty file";
    const bool cut = line.size() > kShown;
    if (cut) line.resize(kShown);
    for (char& c : line) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte >= 0x7f) c = '?';
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.empty()) return "an empty line";
    return "\"" + line + (cut ? "...\"" : "\"");
  } catch (const EInOutError&) {
    return "a line that cannot be read";
  }
}

}  // namespace

std::string incompatible_param_file_message(const std::string& file_name, const TModelDef& info) {
  return file_name + ":1: " + std::string(kIncompatibleParamFileMessage) +
         " Expected the model name \"" + info.ModelName +
         "\" in columns 1 to 26 and the version \"" + info.ModelVersion +
         "\" after them on line 1, found " + first_line_shown(file_name) + ".";
}

void require_finite(double value, std::string_view option) {
  const std::string problem = finite_days_problem(value, option);
  if (!problem.empty()) throw UsageError(problem);
}

}  // namespace vindrel::cli
