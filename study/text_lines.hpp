// Small text helpers shared by the study's file readers: whole-file reading,
// lines with their numbers, CSV fields and numbers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vindrel::study {

// The whole content of a file. Throws EInOutError ("File not found", ...; a
// folder is refused as not a file).
std::string read_text_file(const std::string& file_name);

// One line of a text: its 1-based number and its content without the line end
// (a carriage return before the line feed is dropped). A UTF-8 byte-order mark
// at the start of the text is dropped too.
struct TextLine {
  std::size_t number;
  std::string_view text;
};
std::vector<TextLine> split_lines(std::string_view text);

// Blanks and tabs removed at both ends.
std::string_view trim(std::string_view text);

// True for a blank line or a comment line (first non-blank character "#").
bool is_blank_or_comment(std::string_view line);

// Comma-separated fields, each trimmed. No quoting: the study's input files
// hold names and numbers only.
std::vector<std::string_view> split_commas(std::string_view line);

// Fields separated by commas when the line has one, otherwise by runs of
// blanks and tabs (the two layouts of a numbers-only matrix).
std::vector<std::string_view> split_values(std::string_view line);

// A finite number through the locale-independent parser; false otherwise.
bool parse_finite(std::string_view token, double& value);

// `text` between double quotes, shortened to 60 characters for messages.
std::string quoted(std::string_view text);

// The shortest text that reads back to the same double (std::to_chars).
std::string shortest_text(double value);

}  // namespace vindrel::study
