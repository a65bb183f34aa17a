#include "fileio/param_file.hpp"

#include <algorithm>
#include <array>

#include "fileio/number_format.hpp"
#include "fileio/safe_write.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {
namespace {

// Columns of the model name in the first line, the separating space included.
constexpr std::size_t kNameColumns = 26;
// Characters of one state or parameter line, line end included.
constexpr std::size_t kEntryLineLength = kFieldWidth + kParamRealWidth + 1 + kFieldWidth + 2;

std::string without_spaces(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c != ' ') result.push_back(c);
  }
  return result;
}

// Lower case for A-Z only; every other byte stays as it is.
char fold_case(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void append_entry(std::string& text, const std::string& name, double value,
                  const std::string& units) {
  char line[kEntryLineLength];
  char* p = format_text_left(line, name, kFieldWidth);
  p = format_param_real(p, value);
  *p++ = ' ';
  p = format_text_left(p, units, kFieldWidth);
  *p++ = '\r';
  *p++ = '\n';
  text.append(line, p);
}

}  // namespace

bool param_header_matches(std::string_view first_line, const TModelDef& info) {
  const std::string name_in_file = without_spaces(first_line.substr(0, kNameColumns));
  const std::string name = without_spaces(info.ModelName);
  if (!std::equal(name_in_file.begin(), name_in_file.end(), name.begin(), name.end(),
                  [](char a, char b) { return fold_case(a) == fold_case(b); })) {
    return false;
  }
  std::string_view version = first_line.substr(std::min(first_line.size(), kNameColumns));
  version = version.substr(0, version.find(' '));
  return version == info.ModelVersion;
}

namespace {

// Reads the values of a file whose header matched into the scratch arrays,
// and, with `lines`, each entry's line and name field.
void read_entries(TokenReader& reader, std::int32_t state_count, std::int32_t parameter_count,
                  const paramarray& parameters, const statearray& states,
                  std::array<double, kStateCapacity + 1>& state_values,
                  std::array<double, kParameterCapacity + 1>& parameter_values,
                  std::vector<ParamFileLine>* lines) {
  const auto read_entry = [&](const auto& describe) {
    const std::size_t line = reader.line();
    const std::string_view name = reader.read_field(kFieldWidth);
    if (lines != nullptr) {
      ParamFileLine entry;
      entry.line = line;
      entry.name_field = std::string(name.substr(0, name.find_last_not_of(' ') + 1));
      lines->push_back(std::move(entry));
    }
    const double value = reader.read_number(describe);
    if (lines != nullptr) lines->back().value = value;
    reader.read_field(kFieldWidth);
    reader.skip_line();
    return value;
  };
  for (std::int32_t i = 1; i <= state_count; ++i) {
    state_values[i] = read_entry(
        [&] { return "the value of state " + std::to_string(i) + " (" + states[i].name + ")"; });
  }
  for (std::int32_t j = 1; j <= parameter_count; ++j) {
    parameter_values[j] = read_entry([&] {
      return "the value of parameter " + std::to_string(j) + " (" + parameters[j].name + ")";
    });
  }
}

}  // namespace

bool ReadParamFile(const TextSource& source, const TModelDef& info, std::int32_t ParameterCount,
                   paramarray& parameters, std::int32_t StateCount, statearray& states) {
  const std::int32_t state_count = std::clamp(StateCount, 0, kStateCapacity);
  const std::int32_t parameter_count = std::clamp(ParameterCount, 0, kParameterCapacity);

  TokenReader reader;
  reader.open(source);
  if (!param_header_matches(reader.read_line(), info)) return false;

  // Everything is read into scratch storage first: a failure leaves the tables
  // exactly as they were.
  std::array<double, kStateCapacity + 1> state_values{};
  std::array<double, kParameterCapacity + 1> parameter_values{};
  read_entries(reader, state_count, parameter_count, parameters, states, state_values,
               parameter_values, nullptr);
  reader.close();

  for (std::int32_t i = 1; i <= state_count; ++i) states[i].value = state_values[i];
  for (std::int32_t j = 1; j <= parameter_count; ++j) parameters[j].value = parameter_values[j];
  return true;
}

std::vector<ParamFileLine> ReadParamFileLines(const std::string& file_name, const Model& model) {
  const std::int32_t state_count = std::clamp(model.ModelInfo.StateCount, 0, kStateCapacity);
  const std::int32_t parameter_count =
      std::clamp(model.ModelInfo.ParameterCount, 0, kParameterCapacity);
  TokenReader reader;
  reader.open(file_name);
  std::vector<ParamFileLine> lines;
  if (!param_header_matches(reader.read_line(), model.ModelInfo)) return lines;
  lines.reserve(static_cast<std::size_t>(state_count + parameter_count));
  std::array<double, kStateCapacity + 1> state_values{};
  std::array<double, kParameterCapacity + 1> parameter_values{};
  read_entries(reader, state_count, parameter_count, model.parameters, model.states, state_values,
               parameter_values, &lines);
  return lines;
}

bool ReadParamFile(const TextSource& source, Model& model) {
  return ReadParamFile(source, model.ModelInfo, model.ModelInfo.ParameterCount, model.parameters,
                       model.ModelInfo.StateCount, model.states);
}

std::string format_param_file(const TModelDef& info, std::int32_t ParameterCount,
                              const paramarray& parameters, std::int32_t StateCount,
                              const statearray& states) {
  const std::int32_t state_count = std::clamp(StateCount, 0, kStateCapacity);
  const std::int32_t parameter_count = std::clamp(ParameterCount, 0, kParameterCapacity);
  std::string text;
  text.reserve(2 * kFieldWidth + 3 +
               static_cast<std::size_t>(state_count + parameter_count) * kEntryLineLength);
  char header[2 * kFieldWidth + 1];
  char* p = format_text_left(header, info.ModelName, kFieldWidth);
  *p++ = ' ';
  p = format_text_left(p, info.ModelVersion, kFieldWidth);
  text.append(header, p);
  text += "\r\n";
  for (std::int32_t i = 1; i <= state_count; ++i) {
    append_entry(text, states[i].name, states[i].value, states[i].units);
  }
  for (std::int32_t j = 1; j <= parameter_count; ++j) {
    append_entry(text, parameters[j].name, parameters[j].value, parameters[j].units);
  }
  return text;
}

void WriteParamFile(const std::string& file_name, const TModelDef& info,
                    std::int32_t ParameterCount, const paramarray& parameters,
                    std::int32_t StateCount, const statearray& states) {
  write_file_atomically(file_name,
                        format_param_file(info, ParameterCount, parameters, StateCount, states));
}

void WriteParamFile(const std::string& file_name, const Model& model) {
  WriteParamFile(file_name, model.ModelInfo, model.ModelInfo.ParameterCount, model.parameters,
                 model.ModelInfo.StateCount, model.states);
}

}  // namespace vindrel
