// The names a user types for a parameter or a state, in every place that takes
// one: the factors of a study, the values of `par`, the states to hold or
// reset, and the tables of the Python module. An entry is named by
//   - its symbol, when one entry of the tables taken has it: mF, Cf
//   - its table and symbol: parameter:mF, state:Cf
//   - its table and 1-based position: parameter#25, state#1
//   - its bare position, where one table alone is taken: 25
// A name that picks no entry, or several, is refused with one of a few
// messages, which name what was expected.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/model.hpp"

namespace vindrel {

enum class EntryTable { kState, kParameter };

// Which tables a name may pick from.
enum class EntryTables { kStates, kParameters, kBoth };

struct EntryName {
  EntryTable table = EntryTable::kState;
  int position = 0;  // 1-based
};

// A name that picks no entry ("unknown state ...") or several ("ambiguous
// ..."). Callers put their option, file or line before the message.
class EntryNameError : public std::invalid_argument {
 public:
  EntryNameError(const std::string& message, bool ambiguous)
      : std::invalid_argument(message), ambiguous_(ambiguous) {}
  bool ambiguous() const noexcept { return ambiguous_; }

 private:
  bool ambiguous_;
};

// The forms a name may take, for messages: "a state's symbol (Cf), its
// position (1), state:SYMBOL or state#N (see vindrel-cli list states)".
std::string entry_name_forms(EntryTables accepted);

// The entry `text` names among the accepted tables. Throws EntryNameError:
//   unknown state "Qq": expected a state's symbol (Cf), its position (1), ...
//   unknown parameter "state:mF": no state has the symbol "mF"
//   unknown state "state#0": state#N takes a whole number N from 1 to 55
//   ambiguous parameter or state "X": it names parameter:X, state:X; name one of them
EntryName resolve_entry_name(const Model& model, std::string_view text, EntryTables accepted);

// "parameter:mF", or "parameter#25" when another parameter has its symbol.
std::string qualified_entry_name(const Model& model, const EntryName& entry);

// The symbol of an entry.
const std::string& entry_symbol(const Model& model, const EntryName& entry);

}  // namespace vindrel
