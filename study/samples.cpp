#include "study/samples.hpp"

#include <cstddef>
#include <stdexcept>
#include <string_view>

#include "core/exceptions.hpp"
#include "fileio/safe_write.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

std::string joined_names(const std::vector<Factor>& factors) {
  std::string text;
  for (const Factor& factor : factors) text += (text.empty() ? "" : ",") + factor.name;
  return text;
}

// True when every field of the line is a number: a row of a plain matrix.
bool is_numbers_only(std::string_view line) {
  const std::vector<std::string_view> fields = split_values(line);
  double value = 0.0;
  for (const std::string_view field : fields) {
    if (!parse_finite(field, value)) return false;
  }
  return !fields.empty();
}

}  // namespace

SampleTable parse_samples(const std::string& text, const std::string& file_name,
                          const std::vector<Factor>& factors) {
  SampleTable table;
  table.file_name = file_name;
  for (const Factor& factor : factors) table.names.push_back(factor.name);
  const std::size_t columns = factors.size();
  bool first = true;
  std::size_t last_line = 0;
  for (const TextLine& line : split_lines(text)) {
    last_line = line.number;
    if (is_blank_or_comment(line.text)) continue;
    if (first) {
      first = false;
      // A header names the factors in order; a plain matrix starts with numbers.
      if (!is_numbers_only(line.text)) {
        // Names separated by commas, or by blanks as in a matrix with a header.
        const std::vector<std::string_view> fields = split_values(line.text);
        bool matches = fields.size() == columns;
        for (std::size_t i = 0; matches && i < columns; ++i) matches = fields[i] == factors[i].name;
        if (!matches) {
          throw EInOutError("expected the header \"" + joined_names(factors) +
                                "\" (the factors in order) or a row of numbers, found " +
                                quoted(trim(line.text)),
                            file_name, line.number);
        }
        continue;
      }
    }
    const std::vector<std::string_view> fields = split_values(line.text);
    if (fields.size() != columns) {
      throw EInOutError("expected " + std::to_string(columns) + " values (" +
                            joined_names(factors) + "), found " + std::to_string(fields.size()),
                        file_name, line.number);
    }
    std::vector<double> row(columns);
    for (std::size_t i = 0; i < columns; ++i) {
      if (!parse_finite(fields[i], row[i])) {
        throw EInOutError("expected a finite number for " + quoted(factors[i].name) + ", found " +
                              quoted(fields[i]),
                          file_name, line.number);
      }
    }
    table.rows.push_back(std::move(row));
  }
  if (table.rows.empty()) {
    throw EInOutError("expected at least one row of factor values, found none", file_name,
                      last_line);
  }
  return table;
}

SampleTable read_samples(const std::string& file_name, const std::vector<Factor>& factors) {
  return parse_samples(read_text_file(file_name), file_name, factors);
}

std::string samples_text(const SampleTable& table) {
  std::string text;
  for (std::size_t i = 0; i < table.names.size(); ++i) {
    text += (i == 0 ? "" : ",") + table.names[i];
  }
  text += '\n';
  for (const std::vector<double>& row : table.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += ',';
      text += shortest_text(row[i]);
    }
    text += '\n';
  }
  return text;
}

void write_samples(const std::string& file_name, const SampleTable& table) {
  write_file_atomically(file_name, samples_text(table));
}

void apply_sample(Model& model, const std::vector<Factor>& factors,
                  const std::vector<double>& row) {
  if (row.size() != factors.size()) {
    throw std::invalid_argument("apply_sample: " + std::to_string(row.size()) + " values for " +
                                std::to_string(factors.size()) + " factors");
  }
  for (std::size_t i = 0; i < factors.size(); ++i) {
    if (factors[i].kind == FactorKind::kParameter) {
      model.parameters[factors[i].position].value = row[i];
    } else {
      model.states[factors[i].position].value = row[i];
    }
  }
}

}  // namespace vindrel::study
