#include "study/factors.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "core/entry_names.hpp"
#include "core/exceptions.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

constexpr std::string_view kHeader = "factor,low,high";
std::string entry_text(FactorKind kind, int position) {
  return std::string(kind == FactorKind::kParameter ? "parameter" : "state") + "#" +
         std::to_string(position);
}

struct Entry {
  FactorKind kind;
  int position;
};

// A factor's name, in the grammar every place that names a parameter or a
// state takes, with the file and the line of a name that picks nothing.
class Resolver {
 public:
  Resolver(const Model& model, const std::string& file_name)
      : model_(model), file_name_(file_name) {}

  Entry resolve(std::string_view text, std::size_t line) const {
    try {
      const EntryName entry = resolve_entry_name(model_, text, EntryTables::kBoth);
      return {entry.table == EntryTable::kState ? FactorKind::kState : FactorKind::kParameter,
              entry.position};
    } catch (const EntryNameError& error) {
      throw EInOutError(error.what(), file_name_, line);
    }
  }

 private:
  const Model& model_;
  const std::string& file_name_;
};

}  // namespace

std::vector<Factor> parse_factors(const std::string& text, const std::string& file_name,
                                  const Model& model) {
  const Resolver resolver(model, file_name);
  std::vector<Factor> factors;
  std::vector<std::size_t> factor_lines;
  bool header_seen = false;
  std::size_t last_line = 0;
  for (const TextLine& line : split_lines(text)) {
    last_line = line.number;
    if (is_blank_or_comment(line.text)) continue;
    const std::vector<std::string_view> fields = split_commas(line.text);
    if (!header_seen) {
      if (fields.size() != 3 || fields[0] != "factor" || fields[1] != "low" ||
          fields[2] != "high") {
        throw EInOutError("expected the header \"" + std::string(kHeader) + "\", found " +
                              quoted(trim(line.text)),
                          file_name, line.number);
      }
      header_seen = true;
      continue;
    }
    if (fields.size() != 3) {
      throw EInOutError("expected 3 fields (factor,low,high), found " +
                            std::to_string(fields.size()) + " in " + quoted(trim(line.text)),
                        file_name, line.number);
    }
    if (fields[0].empty()) {
      throw EInOutError("expected a factor name before the first comma", file_name, line.number);
    }
    double bounds[2] = {0.0, 0.0};
    for (int i = 0; i < 2; ++i) {
      if (!parse_finite(fields[1 + static_cast<std::size_t>(i)], bounds[i])) {
        throw EInOutError(std::string("expected a finite number for the ") +
                              (i == 0 ? "low" : "high") + " value of " + quoted(fields[0]) +
                              ", found " + quoted(fields[1 + static_cast<std::size_t>(i)]),
                          file_name, line.number);
      }
    }
    if (!(bounds[0] < bounds[1])) {
      throw EInOutError("the low value " + shortest_text(bounds[0]) + " of " + quoted(fields[0]) +
                            " is not below its high value " + shortest_text(bounds[1]),
                        file_name, line.number);
    }
    const Entry entry = resolver.resolve(fields[0], line.number);
    for (std::size_t k = 0; k < factors.size(); ++k) {
      if (factors[k].kind == entry.kind && factors[k].position == entry.position) {
        throw EInOutError(quoted(fields[0]) + " names " + entry_text(entry.kind, entry.position) +
                              ", already a factor on line " + std::to_string(factor_lines[k]) +
                              " (" + quoted(factors[k].name) + ")",
                          file_name, line.number);
      }
    }
    factors.push_back({std::string(fields[0]), entry.kind, entry.position, bounds[0], bounds[1]});
    factor_lines.push_back(line.number);
  }
  if (!header_seen) {
    throw EInOutError("expected the header \"" + std::string(kHeader) + "\", found no lines",
                      file_name, last_line);
  }
  if (factors.empty()) {
    throw EInOutError("expected at least one factor after the header", file_name, last_line);
  }
  return factors;
}

std::vector<Factor> read_factors(const std::string& file_name, const Model& model) {
  return parse_factors(read_text_file(file_name), file_name, model);
}

double factor_value(const Model& model, const Factor& factor) {
  return factor.kind == FactorKind::kParameter ? model.parameters[factor.position].value
                                               : model.states[factor.position].value;
}

}  // namespace vindrel::study
