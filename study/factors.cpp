#include "study/factors.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "core/exceptions.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

constexpr std::string_view kHeader = "factor,low,high";
constexpr std::string_view kForms =
    "a parameter or initial-state symbol, parameter:SYMBOL, state:SYMBOL, parameter#N or "
    "state#N";

std::string_view kind_word(FactorKind kind) {
  return kind == FactorKind::kParameter ? "parameter" : "state";
}

std::string entry_text(FactorKind kind, int position) {
  return std::string(kind_word(kind)) + "#" + std::to_string(position);
}

struct Entry {
  FactorKind kind;
  int position;
};

class Resolver {
 public:
  Resolver(const Model& model, const std::string& file_name)
      : model_(model), file_name_(file_name) {}

  Entry resolve(std::string_view text, std::size_t line) const {
    for (const FactorKind kind : {FactorKind::kParameter, FactorKind::kState}) {
      const std::string_view word = kind_word(kind);
      if (text.size() > word.size() && text.starts_with(word)) {
        const std::string_view rest = text.substr(word.size() + 1);
        if (text[word.size()] == ':') return by_symbol(kind, rest, text, line);
        if (text[word.size()] == '#') return by_position(kind, rest, text, line);
      }
    }
    std::vector<Entry> found;
    for (const FactorKind kind : {FactorKind::kParameter, FactorKind::kState}) {
      for (int i = 1; i <= count(kind); ++i) {
        if (symbol(kind, i) == text) found.push_back({kind, i});
      }
    }
    if (found.empty()) fail_unknown(text, line);
    if (found.size() > 1) {
      std::string candidates;
      for (const Entry& entry : found) {
        candidates += (candidates.empty() ? "" : ", ") + entry_text(entry.kind, entry.position);
      }
      throw EInOutError("ambiguous symbol " + quoted(text) + ": it names " + candidates +
                            "; write the table (parameter:SYMBOL, state:SYMBOL) or the "
                            "position (parameter#N, state#N)",
                        file_name_, line);
    }
    return found.front();
  }

 private:
  int count(FactorKind kind) const {
    return kind == FactorKind::kParameter ? model_.ModelInfo.ParameterCount
                                          : model_.ModelInfo.StateCount;
  }
  const std::string& symbol(FactorKind kind, int i) const {
    return kind == FactorKind::kParameter ? model_.parameters[i].symbol : model_.states[i].symbol;
  }

  Entry by_symbol(FactorKind kind, std::string_view name, std::string_view text,
                  std::size_t line) const {
    std::vector<int> found;
    for (int i = 1; i <= count(kind); ++i) {
      if (symbol(kind, i) == name) found.push_back(i);
    }
    if (found.empty()) fail_unknown(text, line);
    if (found.size() > 1) {
      std::string candidates;
      for (const int i : found)
        candidates += (candidates.empty() ? "" : ", ") + entry_text(kind, i);
      throw EInOutError("ambiguous symbol " + quoted(text) + ": it names " + candidates +
                            "; give the position instead",
                        file_name_, line);
    }
    return {kind, found.front()};
  }

  Entry by_position(FactorKind kind, std::string_view digits, std::string_view text,
                    std::size_t line) const {
    int position = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), position);
    if (error != std::errc() || end != digits.data() + digits.size() || position < 1 ||
        position > count(kind)) {
      throw EInOutError("position out of range in " + quoted(text) + ": expected " +
                            std::string(kind_word(kind)) + "#N with N from 1 to " +
                            std::to_string(count(kind)),
                        file_name_, line);
    }
    return {kind, position};
  }

  [[noreturn]] void fail_unknown(std::string_view text, std::size_t line) const {
    throw EInOutError("unknown factor " + quoted(text) + ": expected " + std::string(kForms),
                      file_name_, line);
  }

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
