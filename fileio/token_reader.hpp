// The one reader of numbers and fields shared by the parameter, driver and
// output files. It reads a file through a fixed buffer (a text in memory in
// place), so a file of any length is read in constant memory, counts lines for
// messages, and parses numbers with std::from_chars without allocating.
//
// Numbers are whitespace-separated tokens: blanks, tabs, carriage returns and
// line feeds before a number are skipped; the token is the run of characters up
// to the next blank, tab, line end or the end of the input, at most 64
// characters, read by parse_number (number_format.hpp). A line ends with a line
// feed; a carriage return before it belongs to the line end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"

namespace vindrel {

// What a reader reads: a file by its path, or a text in memory (the driver
// editor's text, a fuzzer's input). A text in memory is not copied and must
// outlive the reading; its name stands where a file name stands in messages.
class TextSource {
 public:
  // A file. Implicit, so that a path is a source wherever one is asked for.
  TextSource(std::string path) : name_(std::move(path)) {}
  TextSource(const char* path) : name_(path) {}
  // A text in memory, called `name` in messages.
  static TextSource text(std::string_view text, std::string name) {
    TextSource source(std::move(name));
    source.text_ = text;
    source.in_memory_ = true;
    return source;
  }

  const std::string& name() const noexcept { return name_; }
  bool in_memory() const noexcept { return in_memory_; }
  std::string_view text() const noexcept { return text_; }

 private:
  std::string name_;
  std::string_view text_;
  bool in_memory_ = false;
};

class TokenReader {
 public:
  static constexpr std::size_t kMaxTokenLength = 64;
  static constexpr std::size_t kBufferSize = 64 * 1024;

  enum class TokenStatus {
    kNumber,     // `value` holds the number
    kEndOfFile,  // no token before the end of the input; `value` is 0
    kInvalid,    // the token is not a number; `text` holds it
    kTooLong,    // the token is longer than kMaxTokenLength; `text` holds its start
  };
  struct NumberToken {
    TokenStatus status = TokenStatus::kEndOfFile;
    double value = 0.0;
    std::string_view text;  // valid until the next call on the reader
    std::size_t line = 0;   // line on which the token starts (or the last line)
  };

  TokenReader();
  ~TokenReader();
  TokenReader(const TokenReader&) = delete;
  TokenReader& operator=(const TokenReader&) = delete;

  // Opens a file for reading in binary mode, or a text in memory, closing what
  // was open. Throws EInOutError for a file that cannot be opened ("File not
  // found", "File access denied", ...).
  void open(const TextSource& source);
  // Reads `text`, which must outlive the reading; `name` is used in messages.
  void open_memory(std::string_view text, std::string name);
  void close() noexcept;
  bool is_open() const noexcept { return open_; }
  const std::string& file_name() const noexcept { return name_; }
  // 1-based number of the line that holds the next unread character.
  std::size_t line() const noexcept { return line_; }

  // Skips blanks, tabs and line ends; true when nothing but them is left.
  bool at_end_of_data();

  // The next number, without throwing on a bad token.
  NumberToken next_number();

  // The next number; throws EInOutError, with the file name and the token's line,
  // for a bad token ("Invalid numeric input: expected <what>, found \"abc\"") and
  // for the end of the input ("Unexpected end of file: expected <what>").
  // `describe()` returns the text <what> and is called only on failure, so a
  // successful read allocates nothing.
  template <typename Describe>
  double read_number(Describe&& describe) {
    const NumberToken token = next_number();
    if (token.status == TokenStatus::kNumber) return token.value;
    fail_token(token, std::forward<Describe>(describe)());
  }

  // Up to `width` characters of the current line (fewer at the line end or the
  // end of the input), without consuming the line end. The view is valid until
  // the next call on the reader. `width` must not exceed kMaxTokenLength.
  std::string_view read_field(std::size_t width);

  // The rest of the current line, without its line end, which is consumed. At
  // most `max_length` characters are kept; the rest of the line is skipped.
  std::string read_line(std::size_t max_length = 4096);

  // Skips the rest of the current line and its line end.
  void skip_line();

  // Skips a header line, whose content is not used. A line that holds nothing
  // but numbers is a record, not a header: taking it as one would drop a record
  // without a word, so it throws EInOutError ("Missing header line: expected
  // <expected>, found a line of numbers") with the line's number.
  void skip_header_line(std::string_view expected);

  // Throws EInOutError(message, file name, `line`, or the current line when 0).
  [[noreturn]] void fail(std::string message, std::size_t line = 0) const;
  // Throws the error for a token that is not a number (see read_number).
  [[noreturn]] void fail_token(const NumberToken& token, const std::string& expected) const;

 private:
  // Makes at least one unread character available; false at the end of input.
  bool fill();
  int peek() {
    if (position_ == end_ && !fill()) return -1;
    return static_cast<unsigned char>(*position_);
  }

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;  // kBufferSize bytes, made on the first open of a file
  const char* position_ = nullptr;
  const char* end_ = nullptr;
  bool open_ = false;
  bool memory_ = false;
  std::string name_;
  std::size_t line_ = 1;
  char token_[kMaxTokenLength + 1] = {};
};

}  // namespace vindrel
