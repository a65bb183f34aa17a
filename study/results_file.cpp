#include "study/results_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "core/exceptions.hpp"
#include "fileio/number_format.hpp"
#include "fileio/safe_write.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

constexpr std::size_t kFixedColumns = 3;  // run, status, message

std::string number_text(double value) { return std::isnan(value) ? "nan" : shortest_text(value); }

// The fields of one CSV line (without its line end); nothing for a quote that
// is not closed or text after a closing quote.
std::optional<std::vector<std::string>> split_csv(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      if (i < line.size() && line[i] != ',') return std::nullopt;
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      field.assign(line.substr(i, comma - i));
      i = comma;
    }
    fields.push_back(std::move(field));
    if (i >= line.size()) return fields;
    ++i;  // the comma
  }
}

// A line's content without its LF, and without a CR before it (a file edited
// on another system).
std::string_view without_line_end(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

bool parse_index(std::string_view text, std::size_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// The first runs of a list, then how many there are in all.
constexpr std::size_t kRunsShown = 10;
std::string run_list(const std::vector<std::size_t>& shown, std::size_t total) {
  std::string list;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(shown[i]);
  }
  if (total > shown.size()) list += std::string(", ... (") + std::to_string(total) + " runs)";
  return list;
}

// Given the sample and the factors file, they must be those the parts were run
// with (when the parts record them).
void check_inputs_of_definition(const StudyDefinition& definition, const std::string& part,
                                const SampleTable* samples, const std::string& factors_file) {
  const std::pair<const char*, std::string> given[] = {
      {"samples", samples != nullptr ? samples->file_name : std::string()},
      {"factors", factors_file}};
  for (const auto& [key, file] : given) {
    const DefinitionItem* item = find_item(definition, key);
    if (file.empty() || item == nullptr) continue;
    const std::string hash = file_content_hash(file);
    if (hash != item->value) {
      throw EInOutError(std::string("the parts were run with other ") + key + " (" +
                            item->value.substr(0, 19) + "... in " + part + ", " +
                            hash.substr(0, 19) + "... in " + file + ")",
                        file);
    }
  }
}

// A field as a message shows it: a NUL byte, which a terminal hides, as \0.
std::string shown_field(std::string_view field) {
  std::string text;
  for (char c : field) {
    if (c == '\0') {
      text += "\\0";
    } else {
      text += c;
    }
  }
  return quoted(text);
}

}  // namespace

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string results_header(const std::vector<std::string>& factor_names,
                           const std::vector<std::string>& metric_names) {
  std::string header = "run,status,message";
  for (const std::string& name : factor_names) header.append(",").append(csv_field(name));
  for (const std::string& name : metric_names) header.append(",").append(csv_field(name));
  header += '\n';
  return header;
}

std::string results_row(std::size_t run, std::string_view failure,
                        const std::vector<double>& factors, const std::vector<double>& metrics) {
  std::string message(failure);
  std::replace_if(
      message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  std::string row = std::to_string(run);
  row += failure.empty() ? ",completed," : ",failed,";
  if (!failure.empty()) row += csv_field(message);
  for (double value : factors) row.append(",").append(number_text(value));
  for (double value : metrics) {
    row += ",";
    row += failure.empty() ? number_text(value) : "nan";
  }
  row += '\n';
  return row;
}

std::string normalized_results_text(std::string text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (std::string_view(text).starts_with(kByteOrderMark)) text.erase(0, kByteOrderMark.size());
  if (text.find("\r\n") == std::string::npos) return text;
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  return lines;
}

ResultsFile parse_results(std::string text, const std::string& file_name) {
  text = normalized_results_text(std::move(text));
  ResultsFile file;
  // The definition: the lines before the column line that start with "#".
  std::size_t at = 0;
  std::size_t line = 1;
  while (at < text.size() && text[at] == '#') {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
    ++line;
  }
  file.definition_text = text.substr(0, at);
  file.definition = parse_definition(file.definition_text, file_name, 1);
  const std::size_t header_end = text.find('\n', at);
  if (header_end == std::string::npos ||
      std::string_view(text).substr(at).substr(0, 18) != "run,status,message") {
    throw EInOutError("expected the header of a results file, \"run,status,message,...\"",
                      file_name, line);
  }
  file.header = text.substr(at, header_end + 1 - at);
  const auto header_fields = split_csv(without_line_end(file.header));
  const std::size_t columns = header_fields ? header_fields->size() : 0;
  at = header_end + 1;
  ++line;
  for (std::size_t end = text.find('\n', at); end != std::string::npos;
       at = end + 1, end = text.find('\n', at), ++line) {
    ResultsRow row;
    row.line = line;
    row.text = text.substr(at, end + 1 - at);
    const std::string_view content = without_line_end(row.text);
    auto fields = split_csv(content);
    if (!fields || fields->size() != columns || !parse_index((*fields)[0], row.run)) {
      throw EInOutError(std::string("expected a row of ") + std::to_string(columns) +
                            " fields (a run number, completed or failed, the message, the "
                            "factors and the metrics), found " +
                            quoted(content),
                        file_name, line);
    }
    if ((*fields)[1] != "completed" && (*fields)[1] != "failed") {
      throw EInOutError("unknown status " + quoted((*fields)[1]) + " of run " +
                            std::to_string(row.run) + ": expected completed or failed",
                        file_name, line);
    }
    row.fields = std::move(*fields);
    file.rows.push_back(std::move(row));
  }
  file.complete_bytes = at;
  return file;
}

ResultsFile read_results(const std::string& file_name) {
  return parse_results(read_text_file(file_name), file_name);
}

void check_row_matches_sample(const ResultsRow& row, const SampleTable& samples,
                              const std::string& file_name) {
  if (row.run >= samples.rows.size()) {
    std::string message = "the sample ends after ";
    message.append(std::to_string(samples.rows.size()))
        .append(samples.rows.size() == 1 ? " row but " : " rows but ")
        .append(file_name);
    if (row.line > 0) message.append(1, ':').append(std::to_string(row.line));
    message.append(" holds run ")
        .append(std::to_string(row.run))
        .append(
            ": the sample is missing its last rows, or the results are those of another sample");
    throw EInOutError(message,
                      samples.file_name.empty() ? std::string("the sample") : samples.file_name);
  }
  const std::vector<double>& values = samples.rows[row.run];
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::size_t field = kFixedColumns + i;
    if (field >= row.fields.size() || row.fields[field] != number_text(values[i])) {
      throw EInOutError(std::string("run ") + std::to_string(row.run) + " has " + samples.names[i] +
                            " = " + (field < row.fields.size() ? row.fields[field] : "nothing") +
                            " where the sample's row has " + number_text(values[i]) +
                            ": these are the results of another sample",
                        file_name, row.line);
    }
  }
}

std::optional<std::size_t> recorded_row_count(const StudyDefinition& definition) {
  const DefinitionItem* item = find_item(definition, "rows");
  std::size_t rows = 0;
  if (item == nullptr || !parse_index(item->value, rows)) return std::nullopt;
  return rows;
}

void check_row_values(const ResultsRow& row, const ResultsFile& file,
                      const std::string& file_name) {
  const auto names = split_csv(without_line_end(file.header));
  std::size_t metrics = 0;
  for (const DefinitionItem& item : file.definition) metrics += item.key == "metric" ? 1 : 0;
  const std::size_t columns = row.fields.size();
  const std::size_t factors_end = file.definition.empty() || kFixedColumns + metrics > columns
                                      ? kFixedColumns
                                      : columns - metrics;
  for (std::size_t f = kFixedColumns; f < columns; ++f) {
    const std::string& field = row.fields[f];
    const std::string name = names && f < names->size() ? (*names)[f] : std::to_string(f + 1);
    double value = 0.0;
    const bool number = parse_number(field, value);
    if (f < factors_end && !(number && std::isfinite(value))) {
      throw EInOutError("expected a finite number for the factor " + quoted(name) + " of run " +
                            std::to_string(row.run) + ", found " + shown_field(field),
                        file_name, row.line);
    }
    if (!number) {
      throw EInOutError("expected a number or nan for " + quoted(name) + " of run " +
                            std::to_string(row.run) + ", found " + shown_field(field),
                        file_name, row.line);
    }
  }
}

void merge_results(const std::vector<std::string>& part_files, const std::string& out_file,
                   const SampleTable* samples, const std::string& factors_file) {
  if (part_files.empty()) throw std::invalid_argument("no part to merge");
  std::string definition_text;
  StudyDefinition definition;
  std::string header;
  // Each row's text by run, and the part it came from.
  std::map<std::size_t, std::pair<std::string, std::size_t>> rows;
  for (std::size_t p = 0; p < part_files.size(); ++p) {
    ResultsFile part = read_results(part_files[p]);
    if (p == 0) {
      definition_text = part.definition_text;
      definition = part.definition;
      header = part.header;
      check_inputs_of_definition(definition, part_files[0], samples, factors_file);
    } else {
      if (part.definition.empty() != definition.empty()) {
        throw EInOutError(
            std::string(part.definition.empty() ? "the part does not record" : "the part records") +
                " the study's definition and " + part_files[0] +
                (part.definition.empty() ? " does" : " does not") +
                ": the parts come from different versions of the program or "
                "different studies",
            part_files[p], 1);
      }
      const std::string differences =
          definition_differences(definition, part.definition, part_files[0], part_files[p]);
      if (!differences.empty()) {
        throw EInOutError("the parts come from different studies: " + differences, part_files[p],
                          1);
      }
      if (part.header != header) {
        throw EInOutError("the header differs from that of " + part_files[0] +
                              ": the parts come from different studies",
                          part_files[p], part.definition.size() + 1);
      }
    }
    for (ResultsRow& row : part.rows) {
      check_row_values(row, part, part_files[p]);
      if (samples != nullptr) check_row_matches_sample(row, *samples, part_files[p]);
      const auto [found, added] = rows.try_emplace(row.run, std::move(row.text), p);
      if (!added) {
        throw EInOutError(std::string("run ") + std::to_string(row.run) + " is also in " +
                              part_files[found->second.second] +
                              ": the parts overlap (give each shard once)",
                          part_files[p], row.line);
      }
    }
  }
  // Without the sample, the count of rows the study recorded finds missing
  // last rows; a file from before it was recorded ends at its last run.
  const std::optional<std::size_t> recorded = recorded_row_count(definition);
  const std::size_t last = rows.empty() ? 0 : rows.rbegin()->first;
  const std::size_t expected =
      samples != nullptr ? samples->rows.size()
      : recorded         ? *recorded
      : rows.empty()     ? 0
                         : (last == std::numeric_limits<std::size_t>::max() ? last : last + 1);
  // The runs in no part, found from the gaps between the rows (a run number
  // may be as large as the file says, so the runs are not walked one by one).
  std::vector<std::size_t> shown;
  std::size_t missing = 0;
  const auto add_gap = [&](std::size_t from, std::size_t to) {
    if (to <= from) return;
    missing += to - from;
    for (std::size_t run = from; run < to && shown.size() < kRunsShown; ++run) {
      shown.push_back(run);
    }
  };
  std::size_t next = 0;
  for (const auto& entry : rows) {
    if (entry.first >= expected) break;
    add_gap(next, entry.first);
    next = entry.first + 1;
  }
  add_gap(next, expected);
  if (missing > 0 || rows.empty()) {
    throw std::runtime_error(
        rows.empty() ? "the parts hold no rows"
                     : std::string(missing == 1 ? "run " : "runs ") + run_list(shown, missing) +
                           (missing == 1 ? " is" : " are") +
                           " in no part: a part is missing or its shard is not finished "
                           "(run the shard's command again to complete it)");
  }
  if (rows.rbegin()->first >= expected) {
    throw std::runtime_error(std::string("run ") + std::to_string(rows.rbegin()->first) +
                             " is beyond the sample's " + std::to_string(expected) + " rows");
  }
  std::string content = definition_text + header;
  for (const auto& [run, row] : rows) content += row.first;
  write_file_atomically(out_file, content);
}

}  // namespace vindrel::study
