// The findings about the values a run starts from: the parameter file's
// names, and the states' and parameters' values as the model holds them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "check/finding_parts.hpp"
#include "check/findings.hpp"
#include "core/positions.hpp"
#include "fileio/param_file.hpp"

namespace vindrel {
namespace {

using namespace finding_parts;

// Lines named one by one before the rest are counted.
constexpr std::size_t kMostNamedLines = 20;
// No amount, rate or coefficient of a stand comes near this in size; a value
// beyond it is a typing slip or an overflow waiting to happen.
constexpr double kLargestPlausibleValue = 1e100;

// Pools that hold an amount and cannot be negative: plant structure, soil
// organic matter, soil mineral nitrogen, water and snow, leaf area.
constexpr int kPools[] = {state::Cf,   state::Csw, state::Chw, state::Cr, state::Nf,
                          state::Nsw,  state::Nhw, state::Nr,  state::Cs, state::Ce,
                          state::Ci,   state::Ch,  state::Na,  state::Nh, state::Nnh4,
                          state::Nno3, state::Wr,  state::Wg,  state::Ws, state::Laieos};

bool is_pool(int state_position) {
  return std::find(std::begin(kPools), std::end(kPools), state_position) != std::end(kPools);
}

std::string model_name(const Model& model, std::size_t index) {
  const auto states = static_cast<std::size_t>(model.ModelInfo.StateCount);
  if (index < states) return cut_name(model.states[static_cast<int>(index) + 1].name);
  return cut_name(model.parameters[static_cast<int>(index - states) + 1].name);
}

double entry_value(const Model& model, std::size_t index) {
  const auto states = static_cast<std::size_t>(model.ModelInfo.StateCount);
  if (index < states) return model.states[static_cast<int>(index) + 1].value;
  return model.parameters[static_cast<int>(index - states) + 1].value;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void add_misnamed_lines(const std::string& file_name, const Model& model,
                        const std::vector<ParamFileLine>& lines, std::vector<Finding>& out) {
  std::size_t misnamed = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const ParamFileLine& line = lines[k];
    const std::string expected = model_name(model, k);
    if (line.name_field == expected || ++misnamed > kMostNamedLines) continue;
    std::string text = "the name \"" + line.name_field + "\" is not the model's name for " +
                       entry_name(model, k) + " on this line, \"" + expected + "\"";
    for (std::size_t other = 0; other < lines.size(); ++other) {
      if (other != k && model_name(model, other) == line.name_field) {
        text += " (it is the name of " + entry_name(model, other) + ")";
        break;
      }
    }
    text += ": values are matched by position, so its value is taken as " + expected;
    out.push_back(warning(file_name, line.line, text));
  }
  if (misnamed > kMostNamedLines) {
    out.push_back(warning(file_name, 0,
                          std::to_string(misnamed - kMostNamedLines) +
                              " more lines have names that are not the model's for their "
                              "positions"));
  }
}

// Why a value is one no stand has; "" when it may be one.
std::string impossible_value_reason(const Model& model, std::size_t index, double value) {
  if (!std::isfinite(value)) return ", not a finite number";
  const bool is_state = index < static_cast<std::size_t>(model.ModelInfo.StateCount);
  if (is_state && value < 0.0 && is_pool(static_cast<int>(index) + 1)) {
    return ", below 0, which this pool cannot be";
  }
  if (std::fabs(value) > kLargestPlausibleValue) {
    return ", larger in size than any quantity of a stand (1E100)";
  }
  return {};
}

}  // namespace

std::vector<Finding> param_file_findings(const std::string& file_name, const Model& model) {
  std::vector<Finding> out;
  std::vector<ParamFileLine> lines;
  if (!file_name.empty()) {
    try {
      lines = ReadParamFileLines(file_name, model);
    } catch (const EInOutError& e) {
      out.push_back(from_error(e));
      return out;
    }
    if (lines.empty()) {
      out.push_back(refusal(file_name, 1, std::string(kIncompatibleParamFileMessage)));
      return out;
    }
    add_misnamed_lines(file_name, model, lines, out);
  }
  const auto entries = static_cast<std::size_t>(model.ModelInfo.StateCount) +
                       static_cast<std::size_t>(model.ModelInfo.ParameterCount);
  for (std::size_t k = 0; k < entries; ++k) {
    const double value = entry_value(model, k);
    const std::string reason = impossible_value_reason(model, k, value);
    if (reason.empty()) continue;
    const std::string text =
        "the value of " + entry_name(model, k) + " is " + day_text(value) + reason;
    // A value still as the file gives it is named with its line; one set
    // since the file was read is the model's own.
    if (k < lines.size() && same_bits(lines[k].value, value)) {
      out.push_back(warning(file_name, lines[k].line, text));
    } else {
      out.push_back(warning("", 0, text));
    }
  }
  return out;
}

}  // namespace vindrel
