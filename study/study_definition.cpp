#include "study/study_definition.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "core/exceptions.hpp"
#include "fileio/content_hash.hpp"
#include "fileio/io_error.hpp"
#include "study/text_lines.hpp"

namespace vindrel::study {
namespace {

constexpr std::string_view kNoteSeparator = "  ";
constexpr std::string_view kHashWord = "sha256 ";
// Hex digits of a hash shown in a message: enough to tell two files apart.
constexpr std::size_t kShownHashDigits = 12;

bool valid_key(std::string_view key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  });
}

std::string shown_value(const std::string& value) {
  if (value.starts_with(kHashWord) && value.size() > kHashWord.size() + kShownHashDigits) {
    return value.substr(0, kHashWord.size() + kShownHashDigits) + "...";
  }
  return value;
}

// The values of one key, in order, for messages.
std::vector<std::string> values_of(const StudyDefinition& definition, const std::string& key) {
  std::vector<std::string> values;
  for (const DefinitionItem& item : definition) {
    if (item.key == key) values.push_back(item.value);
  }
  return values;
}

std::string joined_values(const std::vector<std::string>& values) {
  if (values.empty()) return "nothing";
  std::string text;
  for (const std::string& value : values) text += (text.empty() ? "" : ", ") + shown_value(value);
  return text;
}

}  // namespace

std::string definition_text(const StudyDefinition& definition) {
  std::string text;
  for (const DefinitionItem& item : definition) {
    text.append("# ").append(item.key).append(": ").append(item.value);
    if (!item.note.empty()) text.append(kNoteSeparator).append(item.note);
    text += '\n';
  }
  return text;
}

StudyDefinition parse_definition(std::string_view text, const std::string& file_name,
                                 std::size_t first_line) {
  StudyDefinition definition;
  std::size_t number = first_line;
  for (const TextLine& line : split_lines(text)) {
    // Carriage returns at the end are line-end bytes (a file saved with CRLF
    // ends, perhaps more than once), not part of the value or the note.
    std::string_view content = line.text;
    while (content.ends_with('\r')) content.remove_suffix(1);
    const std::size_t colon = content.find(": ");
    const std::string_view key = colon == std::string_view::npos || !content.starts_with("# ")
                                     ? std::string_view()
                                     : content.substr(2, colon - 2);
    std::string_view value = valid_key(key) && colon + 2 < content.size()
                                 ? content.substr(colon + 2)
                                 : std::string_view();
    std::string_view note;
    if (const std::size_t gap = value.find(kNoteSeparator); gap != std::string_view::npos) {
      note = value.substr(gap + kNoteSeparator.size());
      value = value.substr(0, gap);
    }
    // A value of blanks alone is no value: it could not be written back.
    if (value.empty()) {
      throw EInOutError(
          "expected a line of the study's definition, \"# KEY: VALUE\", found " + quoted(content),
          file_name, number + line.number - 1);
    }
    definition.push_back({std::string(key), std::string(value), std::string(note)});
  }
  return definition;
}

std::string definition_differences(const StudyDefinition& recorded, const StudyDefinition& other,
                                   std::string_view recorded_where, std::string_view other_where) {
  std::vector<std::string> keys;
  for (const StudyDefinition* side : {&other, &recorded}) {
    for (const DefinitionItem& item : *side) {
      if (std::find(keys.begin(), keys.end(), item.key) == keys.end()) keys.push_back(item.key);
    }
  }
  std::string text;
  for (const std::string& key : keys) {
    const std::vector<std::string> theirs = values_of(recorded, key);
    const std::vector<std::string> ours = values_of(other, key);
    if (theirs == ours) continue;
    if (!text.empty()) text += "; ";
    text += key + ": " + joined_values(theirs) + " in " + std::string(recorded_where) + ", " +
            joined_values(ours) + " in " + std::string(other_where);
  }
  return text;
}

const DefinitionItem* find_item(const StudyDefinition& definition, std::string_view key) {
  for (const DefinitionItem& item : definition) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

std::string file_content_hash(const std::string& file_name) {
  return std::string(kHashWord) + file_sha256(file_name);
}

}  // namespace vindrel::study
