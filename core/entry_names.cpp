#include "core/entry_names.hpp"

#include <charconv>
#include <vector>

namespace vindrel {
namespace {

constexpr EntryTable kTables[] = {EntryTable::kParameter, EntryTable::kState};

std::string_view table_word(EntryTable table) {
  return table == EntryTable::kState ? "state" : "parameter";
}

std::string_view noun(EntryTables accepted) {
  switch (accepted) {
    case EntryTables::kStates:
      return "state";
    case EntryTables::kParameters:
      return "parameter";
    case EntryTables::kBoth:
      break;
  }
  return "parameter or state";
}

bool takes(EntryTables accepted, EntryTable table) {
  return accepted == EntryTables::kBoth ||
         (accepted == EntryTables::kStates) == (table == EntryTable::kState);
}

int entry_count(const Model& model, EntryTable table) {
  return table == EntryTable::kState ? model.ModelInfo.StateCount : model.ModelInfo.ParameterCount;
}

std::string quoted(std::string_view text) { return '"' + std::string(text) + '"'; }

[[noreturn]] void refuse_unknown(EntryTables accepted, std::string_view text,
                                 const std::string& why) {
  throw EntryNameError("unknown " + std::string(noun(accepted)) + " " + quoted(text) + ": " + why,
                       false);
}

// A whole number of digits only, or nothing.
bool parse_position(std::string_view digits, int& value) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size();
}

std::vector<EntryName> with_symbol(const Model& model, EntryTables accepted,
                                   std::string_view symbol) {
  std::vector<EntryName> found;
  for (const EntryTable table : kTables) {
    if (!takes(accepted, table)) continue;
    for (int i = 1; i <= entry_count(model, table); ++i) {
      if (entry_symbol(model, {table, i}) == symbol) found.push_back({table, i});
    }
  }
  return found;
}

EntryName only_one(const Model& model, EntryTables accepted, std::string_view text,
                   const std::vector<EntryName>& found, const std::string& none) {
  if (found.empty()) refuse_unknown(accepted, text, none);
  if (found.size() > 1) {
    std::string names;
    for (const EntryName& entry : found) {
      names += (names.empty() ? "" : ", ") + qualified_entry_name(model, entry);
    }
    throw EntryNameError("ambiguous " + std::string(noun(accepted)) + " " + quoted(text) +
                             ": it names " + names + "; name one of them",
                         true);
  }
  return found.front();
}

}  // namespace

std::string entry_name_forms(EntryTables accepted) {
  switch (accepted) {
    case EntryTables::kStates:
      return "a state's symbol (Cf), its position (1), state:SYMBOL or state#N (see vindrel-cli "
             "list states)";
    case EntryTables::kParameters:
      return "a parameter's symbol (mF), its position (25), parameter:SYMBOL or parameter#N (see "
             "vindrel-cli list parameters)";
    case EntryTables::kBoth:
      break;
  }
  return "a parameter's or a state's symbol (mF, Cf), parameter:SYMBOL, state:SYMBOL, "
         "parameter#N or state#N (see vindrel-cli list)";
}

const std::string& entry_symbol(const Model& model, const EntryName& entry) {
  return entry.table == EntryTable::kState ? model.states[entry.position].symbol
                                           : model.parameters[entry.position].symbol;
}

std::string qualified_entry_name(const Model& model, const EntryName& entry) {
  const std::string word(table_word(entry.table));
  const std::string& symbol = entry_symbol(model, entry);
  for (int i = 1; i <= entry_count(model, entry.table); ++i) {
    if (i != entry.position && entry_symbol(model, {entry.table, i}) == symbol) {
      return word + '#' + std::to_string(entry.position);
    }
  }
  return word + ':' + symbol;
}

EntryName resolve_entry_name(const Model& model, std::string_view text, EntryTables accepted) {
  int position = 0;
  if (parse_position(text, position)) {
    if (accepted == EntryTables::kBoth) {
      refuse_unknown(accepted, text,
                     "a position alone names no table; write parameter#" + std::string(text) +
                         " or state#" + std::string(text));
    }
    const EntryTable table =
        accepted == EntryTables::kStates ? EntryTable::kState : EntryTable::kParameter;
    if (position < 1 || position > entry_count(model, table)) {
      refuse_unknown(accepted, text,
                     "positions run from 1 to " + std::to_string(entry_count(model, table)));
    }
    return {table, position};
  }
  // A driver or a process named by its table is no parameter or state.
  for (const std::string_view word : {"driver", "process"}) {
    if (text.size() > word.size() && text.starts_with(word) &&
        (text[word.size()] == ':' || text[word.size()] == '#')) {
      refuse_unknown(accepted, text,
                     "only " + std::string(noun(accepted)) + "s are taken here; expected " +
                         entry_name_forms(accepted));
    }
  }
  // A qualified name: the table's word, then ":SYMBOL" or "#N".
  for (const EntryTable table : kTables) {
    const std::string word(table_word(table));
    if (text.size() <= word.size() || !text.starts_with(word)) continue;
    const char mark = text[word.size()];
    if (mark != ':' && mark != '#') continue;
    if (!takes(accepted, table)) {
      refuse_unknown(accepted, text,
                     "only " + std::string(noun(accepted)) + "s are taken here; expected " +
                         entry_name_forms(accepted));
    }
    const std::string_view rest = text.substr(word.size() + 1);
    if (mark == '#') {
      if (!parse_position(rest, position) || position < 1 || position > entry_count(model, table)) {
        refuse_unknown(accepted, text,
                       word + "#N takes a whole number N from 1 to " +
                           std::to_string(entry_count(model, table)));
      }
      return {table, position};
    }
    const EntryTables one =
        table == EntryTable::kState ? EntryTables::kStates : EntryTables::kParameters;
    return only_one(model, accepted, text, with_symbol(model, one, rest),
                    "no " + word + " has the symbol " + quoted(rest));
  }
  return only_one(model, accepted, text, with_symbol(model, accepted, text),
                  "expected " + entry_name_forms(accepted));
}

}  // namespace vindrel
