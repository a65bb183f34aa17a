#include "study/results_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "core/exceptions.hpp"
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

bool parse_index(std::string_view text, std::size_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string run_list(const std::vector<std::size_t>& runs) {
  constexpr std::size_t kShown = 10;
  std::string list;
  for (std::size_t i = 0; i < runs.size() && i < kShown; ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(runs[i]);
  }
  if (runs.size() > kShown) list += std::string(", ... (") + std::to_string(runs.size()) + " runs)";
  return list;
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

ResultsFile read_results(const std::string& file_name) {
  const std::string text = read_text_file(file_name);
  ResultsFile file;
  const std::size_t header_end = text.find('\n');
  if (header_end == std::string::npos || !text.starts_with("run,status,message")) {
    throw EInOutError("expected the header of a results file, \"run,status,message,...\"",
                      file_name, 1);
  }
  file.header = text.substr(0, header_end + 1);
  const auto header_fields = split_csv(std::string_view(file.header).substr(0, header_end));
  const std::size_t columns = header_fields ? header_fields->size() : 0;
  std::size_t at = header_end + 1;
  std::size_t line = 2;
  for (std::size_t end = text.find('\n', at); end != std::string::npos;
       at = end + 1, end = text.find('\n', at), ++line) {
    ResultsRow row;
    row.line = line;
    row.text = text.substr(at, end + 1 - at);
    auto fields = split_csv(std::string_view(row.text).substr(0, row.text.size() - 1));
    if (!fields || fields->size() != columns || !parse_index((*fields)[0], row.run) ||
        ((*fields)[1] != "completed" && (*fields)[1] != "failed")) {
      throw EInOutError(std::string("expected a row of ") + std::to_string(columns) +
                            " fields (a run number, completed or failed, the message, the "
                            "factors and the metrics), found " +
                            quoted(std::string_view(row.text).substr(0, row.text.size() - 1)),
                        file_name, line);
    }
    row.fields = std::move(*fields);
    file.rows.push_back(std::move(row));
  }
  file.complete_bytes = at;
  return file;
}

void check_row_matches_sample(const ResultsRow& row, const SampleTable& samples,
                              const std::string& file_name) {
  if (row.run >= samples.rows.size()) {
    throw EInOutError(std::string("run ") + std::to_string(row.run) + " is beyond the sample's " +
                          std::to_string(samples.rows.size()) +
                          " rows: these are the results of another sample",
                      file_name, row.line);
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

void merge_results(const std::vector<std::string>& part_files, const std::string& out_file,
                   const SampleTable* samples) {
  if (part_files.empty()) throw std::invalid_argument("no part to merge");
  std::string header;
  // Each row's text by run, and the part it came from.
  std::map<std::size_t, std::pair<std::string, std::size_t>> rows;
  for (std::size_t p = 0; p < part_files.size(); ++p) {
    ResultsFile part = read_results(part_files[p]);
    if (p == 0) {
      header = part.header;
    } else if (part.header != header) {
      throw EInOutError("the header differs from that of " + part_files[0] +
                            ": the parts come from different studies",
                        part_files[p], 1);
    }
    for (ResultsRow& row : part.rows) {
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
  const std::size_t expected =
      samples != nullptr ? samples->rows.size() : (rows.empty() ? 0 : rows.rbegin()->first + 1);
  std::vector<std::size_t> missing;
  for (std::size_t run = 0; run < expected; ++run) {
    if (!rows.contains(run)) missing.push_back(run);
  }
  if (!missing.empty() || rows.empty()) {
    throw std::runtime_error(
        rows.empty() ? "the parts hold no rows"
                     : std::string(missing.size() == 1 ? "run " : "runs ") + run_list(missing) +
                           (missing.size() == 1 ? " is" : " are") +
                           " in no part: a part is missing or its shard is not finished "
                           "(run the shard's command again to complete it)");
  }
  if (rows.rbegin()->first >= expected) {
    throw std::runtime_error(std::string("run ") + std::to_string(rows.rbegin()->first) +
                             " is beyond the sample's " + std::to_string(expected) + " rows");
  }
  std::string content = header;
  for (const auto& [run, row] : rows) content += row.first;
  write_file_atomically(out_file, content);
}

}  // namespace vindrel::study
