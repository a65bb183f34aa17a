// Fuzzes the token reader that the three file formats share, and the number
// formats behind it. The first byte chooses a sequence of reads (numbers,
// fields, lines); the rest is the text. Every read must end, every token the
// reader calls a number must parse to the same value, and every number must
// survive its formats: exact widths, and reading back gives the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/exceptions.hpp"
#include "fileio/number_format.hpp"
#include "fileio/token_reader.hpp"
#include "fuzz/fuzz_support.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

using Formatter = char* (*)(char*, double) noexcept;

// Formats `value` into a buffer with guard bytes and checks the width; returns
// the text with its padding trimmed.
std::string formatted(Formatter format, double value, std::size_t width) {
  char buffer[64];
  std::memset(buffer, 0x7f, sizeof buffer);
  const char* end = format(buffer, value);
  check(end == buffer + width, "a fixed-width format wrote another width");
  for (std::size_t i = 0; i < width; ++i)
    check(buffer[i] >= ' ' && buffer[i] < 0x7f, "a format wrote an unprintable character");
  check(buffer[width] == 0x7f, "a format wrote past its width");
  std::string_view text(buffer, width);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  check(!text.empty(), "a format wrote only blanks");
  return std::string(text);
}

char* general15(char* out, double value) noexcept {
  char* end = format_general(out, value, 15);
  std::memset(end, ' ', out + kMaxGeneralLength - end);
  return out + kMaxGeneralLength;
}

// The text of a format read back and written again is the same text.
void check_format_round_trip(Formatter format, double value, std::size_t width) {
  const std::string text = formatted(format, value, width);
  double back = 0.0;
  check(parse_number(text, back), "a number written by a format cannot be read back");
  check(formatted(format, back, width) == text, "a number read back is written differently");
}

void check_number(double value) {
  check_format_round_trip(format_param_real, value, kParamRealWidth);
  check_format_round_trip(format_e13_left, value, kFieldWidth);
  check_format_round_trip(format_e13_right, value, kFieldWidth);
  check_format_round_trip(format_g15_right, value, kFieldWidth);
  check_format_round_trip(general15, value, kMaxGeneralLength);
  // 17 significant digits give back the very same double.
  if (std::isfinite(value)) {
    char text[kMaxGeneralLength];
    const char* end = format_general(text, value, 17);
    check(end > text && end <= text + kMaxGeneralLength, "format_general wrote too much");
    double back = 0.0;
    check(parse_number(std::string_view(text, std::size_t(end - text)), back),
          "17 significant digits cannot be read back");
    check(back == value, "17 significant digits do not give the same double");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint32_t choices = data[0] * 2654435761u + 1u;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  TokenReader reader;
  reader.open_memory(text, "fuzz input");
  std::size_t last_line = 1;
  const std::size_t limit = 4 * text.size() + 16;
  for (std::size_t step = 0; step < limit; ++step) {
    choices = choices * 1103515245u + 12345u;
    const unsigned choice = (choices >> 16) % 10;
    if (choice < 6) {
      const TokenReader::NumberToken token = reader.next_number();
      check(token.line >= last_line, "a token's line is before an earlier one");
      switch (token.status) {
        case TokenReader::TokenStatus::kNumber: {
          double again = 0.0;
          check(parse_number(token.text, again) && fuzzing::same_bits(again, token.value),
                "a number token does not parse to its value");
          check(token.text.size() <= TokenReader::kMaxTokenLength, "a number token is too long");
          check_number(token.value);
          break;
        }
        case TokenReader::TokenStatus::kInvalid: {
          double unused = 0.0;
          check(!parse_number(token.text, unused), "a number token was called invalid");
          break;
        }
        case TokenReader::TokenStatus::kTooLong:
          check(token.text.size() <= TokenReader::kMaxTokenLength + 1,
                "a long token's start is long");
          break;
        case TokenReader::TokenStatus::kEndOfFile:
          check(token.value == 0.0, "the end of the input reads as a number other than 0");
          check(reader.at_end_of_data(), "the end of the input came before the end of data");
          return 0;
      }
      last_line = token.line;
    } else if (choice < 8) {
      const std::size_t width = 1 + (choices >> 8) % TokenReader::kMaxTokenLength;
      const std::string_view field = reader.read_field(width);
      check(field.size() <= width, "a field is wider than asked");
      check(field.find('\n') == std::string_view::npos, "a field holds a line end");
    } else if (choice == 8) {
      const std::string line = reader.read_line(100);
      check(line.size() <= 100, "a line is longer than asked");
      check(line.find('\n') == std::string::npos, "a line holds a line end");
    } else {
      reader.skip_line();
    }
    check(reader.line() >= last_line, "the reader's line went backwards");
    last_line = reader.line();
    if (reader.at_end_of_data()) return 0;
  }
  // Whatever is left, numbers are read to the end: every read of a token takes
  // at least one character, so the end comes within the text's length.
  for (std::size_t step = 0; step <= text.size(); ++step) {
    if (reader.next_number().status == TokenReader::TokenStatus::kEndOfFile) return 0;
  }
  fuzzing::broken("the reader made no progress");
}
