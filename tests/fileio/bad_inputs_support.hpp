// Good parameter, driver and output files of the whole model, and the small
// edits that spoil them, for the catalogue of bad inputs.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "fileio_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel::testing {

// Lines of a parameter file: 1 header, states on 2..56, parameters on 57..170.
inline constexpr int kFirstParameterLine = 57;

inline std::string good_param_text() {
  const Model model = support::temperate_forest();
  const TModelDef& info = model.ModelInfo;
  return format_param_file(info, info.ParameterCount, model.parameters, info.StateCount,
                           model.states);
}

// Twenty daily records, days 1 to 20, on lines 3 to 22 (record k on line k + 2).
inline std::string good_driver_text(const TempFolder& folder) {
  Model model = support::temperate_forest();
  const std::string path = folder.file("written.drr");
  DriverFileWriter writer;
  writer.open(path, model);
  for (int day = 1; day <= 20; ++day) {
    model.drivers[driver::Ca].value = 300.0 + day;
    writer.write_record(day, model.ModelInfo.DriverCount, model.drivers);
  }
  writer.close();
  const std::string text = read_bytes(path);
  std::filesystem::remove(path);
  return text;
}

// Three records at the times 2, 3 and 4, on lines 3 to 5.
inline std::string good_output_text(const TempFolder& folder) {
  Model model = support::temperate_forest();
  const std::string path = folder.file("written.out");
  OutputFileWriter writer;
  writer.open(path, model);
  for (int time = 2; time <= 4; ++time) writer.write_record(model, time);
  writer.close();
  const std::string text = read_bytes(path);
  std::filesystem::remove(path);
  return text;
}

inline std::string join_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The blank-separated fields of a line.
inline std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = line.find_first_not_of(' ');
  while (start != std::string::npos) {
    const std::size_t end = line.find(' ', start);
    fields.push_back(line.substr(start, end - start));
    start = end == std::string::npos ? end : line.find_first_not_of(' ', end);
  }
  return fields;
}

// The value of a parameter file line (1-based) replaced by `token`.
inline std::string with_param_value(const std::string& text, int line, const std::string& token) {
  std::vector<std::string> lines = split_lines(text);
  std::string& entry = lines.at(static_cast<std::size_t>(line - 1));
  entry = entry.substr(0, 25) + " " + token + " " + entry.substr(49);
  return join_lines(lines);
}

// Field `field` (0-based) of line `line` (1-based) replaced by `token`.
inline std::string with_field(const std::string& text, int line, std::size_t field,
                              const std::string& token) {
  std::vector<std::string> lines = split_lines(text);
  std::vector<std::string> fields = fields_of(lines.at(static_cast<std::size_t>(line - 1)));
  fields.at(field) = token;
  std::string joined;
  for (const std::string& f : fields) joined += f + " ";
  lines[static_cast<std::size_t>(line - 1)] = joined;
  return join_lines(lines);
}

// The text up to line `line` (1-based), of which only the first `fields` fields
// are kept; the file ends there, without a line end.
inline std::string cut_after_fields(const std::string& text, int line, std::size_t fields) {
  const std::vector<std::string> lines = split_lines(text);
  std::string cut;
  for (int n = 1; n < line; ++n) cut += lines[static_cast<std::size_t>(n - 1)] + "\r\n";
  const std::vector<std::string> kept = fields_of(lines.at(static_cast<std::size_t>(line - 1)));
  for (std::size_t k = 0; k < fields; ++k) cut += kept.at(k) + " ";
  return cut;
}

// Lines `first` to `last` (1-based) of a text.
inline std::string lines_between(const std::string& text, int first, int last) {
  const std::vector<std::string> lines = split_lines(text);
  std::string kept;
  for (int n = first; n <= last; ++n) kept += lines.at(static_cast<std::size_t>(n - 1)) + "\r\n";
  return kept;
}

// Bytes that look like nothing: every value but blanks and line ends, from a
// fixed sequence, so that each run of the test sees the same garbage.
inline std::string binary_garbage(std::size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 12345u;
  for (char& c : bytes) {
    do {
      state = state * 1103515245u + 12345u;
      c = static_cast<char>((state >> 16) & 0xff);
    } while (c == ' ' || c == '\t' || c == '\r' || c == '\n');
  }
  return bytes;
}

// The permission bits and the content of every regular file in a folder, to
// see that nothing changed. A file its owner may not read is made readable for
// the moment of reading.
inline std::map<std::string, std::string> folder_contents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const std::string path = entry.path().string();
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      contents[name] = "<not a regular file>";
      continue;
    }
    const mode_t mode = status.st_mode & 07777;
    if ((mode & S_IRUSR) == 0) chmod(path.c_str(), mode | S_IRUSR);
    contents[name] = std::to_string(mode) + ":" + read_bytes(path);
    if ((mode & S_IRUSR) == 0) chmod(path.c_str(), mode);
  }
  return contents;
}

// The names of the files whose permission bits or content differ between two
// snapshots of a folder (empty when nothing changed).
inline std::vector<std::string> changed_files(const std::map<std::string, std::string>& before,
                                              const std::map<std::string, std::string>& after) {
  std::vector<std::string> changed;
  for (const auto& [name, content] : before) {
    const auto found = after.find(name);
    if (found == after.end()) {
      changed.push_back(name + " (removed)");
    } else if (found->second != content) {
      changed.push_back(name);
    }
  }
  for (const auto& [name, content] : after) {
    if (before.find(name) == before.end()) changed.push_back(name + " (new)");
  }
  return changed;
}

// Every value of every table, to see that nothing changed.
inline std::vector<double> all_values(const Model& model) {
  std::vector<double> values;
  for (const auto& s : model.states) values.push_back(s.value);
  for (const auto& p : model.processes) values.push_back(p.value);
  for (const auto& p : model.parameters) values.push_back(p.value);
  for (const auto& d : model.drivers) values.push_back(d.value);
  return values;
}

inline std::vector<double> driver_values(const Model& model) {
  std::vector<double> values;
  for (const auto& d : model.drivers) values.push_back(d.value);
  return values;
}

}  // namespace vindrel::testing
