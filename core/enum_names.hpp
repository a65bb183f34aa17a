// The words that name the values of an enumeration in files, options and
// messages, in one table read both ways: a value's word, and the value a word
// names.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace vindrel {

template <typename Enum, std::size_t N>
class EnumNames {
 public:
  constexpr explicit EnumNames(std::array<std::pair<Enum, std::string_view>, N> entries)
      : entries_(entries) {}

  // The value's word; `otherwise` for a value the table does not hold.
  constexpr std::string_view name(Enum value, std::string_view otherwise = {}) const {
    for (const auto& [entry, word] : entries_) {
      if (entry == value) return word;
    }
    return otherwise;
  }

  // The value the word names exactly, or nothing.
  constexpr std::optional<Enum> parse(std::string_view word) const {
    for (const auto& [entry, entry_word] : entries_) {
      if (entry_word == word) return entry;
    }
    return std::nullopt;
  }

 private:
  std::array<std::pair<Enum, std::string_view>, N> entries_;
};

}  // namespace vindrel
