#include "fileio/token_reader.hpp"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "fileio/number_format.hpp"

namespace vindrel {
namespace {

// Blanks, tabs, carriage returns and line feeds separate numbers.
constexpr std::array<bool, 256> kSeparators = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {' ', '\t', '\r', '\n'}) table[c] = true;
  return table;
}();

inline bool is_separator(char c) noexcept { return kSeparators[static_cast<unsigned char>(c)]; }

// A token as it may appear inside a message: control characters become '?'.
std::string printable(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return result;
}

}  // namespace

TokenReader::TokenReader() = default;

TokenReader::~TokenReader() { close(); }

void TokenReader::open(const TextSource& source) {
  if (source.in_memory()) {
    open_memory(source.text(), source.name());
    return;
  }
  close();
  const std::string& path = source.name();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw_io_error(errno, path);
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(file);
    throw_io_error(EISDIR, path);
  }
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
  file_ = file;
  memory_ = false;
  open_ = true;
  name_ = path;
  line_ = 1;
  position_ = end_ = buffer_.get();
}

void TokenReader::open_memory(std::string_view text, std::string name) {
  close();
  memory_ = true;
  open_ = true;
  name_ = std::move(name);
  line_ = 1;
  position_ = text.data();
  end_ = text.data() + text.size();
}

void TokenReader::close() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  open_ = false;
  memory_ = false;
  position_ = end_ = nullptr;
}

bool TokenReader::fill() {
  if (!open_ || memory_) return false;
  const std::size_t count = std::fread(buffer_.get(), 1, kBufferSize, file_);
  if (count == 0 && std::ferror(file_)) throw_io_error(errno != 0 ? errno : EIO, name_, line_);
  position_ = buffer_.get();
  end_ = position_ + count;
  return count > 0;
}

bool TokenReader::at_end_of_data() {
  for (;;) {
    if (position_ == end_ && !fill()) return true;
    // The blanks of fixed-width columns are the common case.
    const char* p = position_;
    while (p != end_ && *p == ' ') ++p;
    position_ = p;
    if (p == end_) continue;
    const char c = *p;
    if (!is_separator(c)) return false;
    if (c == '\n') ++line_;
    ++position_;
  }
}

TokenReader::NumberToken TokenReader::next_number() {
  NumberToken token;
  if (at_end_of_data()) {
    token.line = line_;
    return token;
  }
  token.line = line_;
  // Usually the whole token lies in the buffer: read it there, without a copy.
  const char* start = position_;
  const std::size_t available = static_cast<std::size_t>(end_ - start);
  const char* limit = start + (available < kMaxTokenLength + 1 ? available : kMaxTokenLength + 1);
  {
    // Fastest path: a number that ends at a separator (or at the end of a text
    // in memory) within kMaxTokenLength characters, read where it lies.
    const char* q = start;
    const bool negative = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    double value = 0.0;
    if (q != limit && *q != '+' && *q != '-') {
      const auto result = std::from_chars(q, limit, value, std::chars_format::general);
      const bool ends = result.ptr != limit ? is_separator(*result.ptr) : end_ == limit && memory_;
      if (result.ec == std::errc{} && ends &&
          static_cast<std::size_t>(result.ptr - start) <= kMaxTokenLength) {
        position_ = result.ptr;
        token.status = TokenStatus::kNumber;
        token.value = negative ? -value : value;
        token.text = std::string_view(start, static_cast<std::size_t>(result.ptr - start));
        return token;
      }
    }
  }
  const char* p = start;
  while (p != limit && !is_separator(*p)) ++p;
  std::size_t length = static_cast<std::size_t>(p - start);
  bool too_long = false;
  // Complete when a separator ends it, or when it ends the text in memory.
  if ((p != limit || (p == end_ && memory_)) && length <= kMaxTokenLength) {
    position_ = p;
    token.text = std::string_view(start, length);
  } else {
    // The token reaches the end of the buffer or is too long: copy it piece by
    // piece, keeping at most kMaxTokenLength characters.
    length = 0;
    for (;;) {
      if (position_ == end_ && !fill()) break;
      const char c = *position_;
      if (is_separator(c)) break;
      if (length < kMaxTokenLength) {
        token_[length++] = c;
      } else {
        too_long = true;  // the rest of the token is consumed but not kept
      }
      ++position_;
    }
    token.text = std::string_view(token_, length);
  }
  if (too_long) {
    token.status = TokenStatus::kTooLong;
  } else if (parse_number(token.text, token.value)) {
    token.status = TokenStatus::kNumber;
  } else {
    token.status = TokenStatus::kInvalid;
    token.value = 0.0;
  }
  return token;
}

std::string_view TokenReader::read_field(std::size_t width) {
  if (width > kMaxTokenLength) width = kMaxTokenLength;
  std::size_t length = 0;
  while (length < width) {
    if (position_ == end_ && !fill()) break;
    const char c = *position_;
    if (c == '\r' || c == '\n') break;
    token_[length++] = c;
    ++position_;
  }
  return std::string_view(token_, length);
}

std::string TokenReader::read_line(std::size_t max_length) {
  std::string text;
  for (;;) {
    if (position_ == end_ && !fill()) break;
    const char c = *position_++;
    if (c == '\n') {
      ++line_;
      break;
    }
    if (text.size() < max_length + 1) text.push_back(c);
  }
  // A carriage return before the line feed belongs to the line end.
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.size() > max_length) text.resize(max_length);
  return text;
}

void TokenReader::skip_line() {
  for (;;) {
    if (position_ == end_ && !fill()) return;
    const void* found = std::memchr(position_, '\n', static_cast<std::size_t>(end_ - position_));
    if (found != nullptr) {
      position_ = static_cast<const char*>(found) + 1;
      ++line_;
      return;
    }
    position_ = end_;
  }
}

void TokenReader::skip_header_line(std::string_view expected) {
  const std::size_t line = line_;
  const std::string text = read_line(kBufferSize);
  bool any_token = false;
  std::size_t start = 0;
  while (start < text.size()) {
    while (start < text.size() && is_separator(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !is_separator(text[end])) ++end;
    if (end == start) break;
    double unused = 0.0;
    if (!parse_number(std::string_view(text).substr(start, end - start), unused)) return;
    any_token = true;
    start = end;
  }
  if (any_token) {
    fail("Missing header line: expected " + std::string(expected) + ", found a line of numbers",
         line);
  }
}

void TokenReader::fail(std::string message, std::size_t line) const {
  throw EInOutError(std::move(message), name_, line != 0 ? line : line_);
}

void TokenReader::fail_token(const NumberToken& token, const std::string& expected) const {
  switch (token.status) {
    case TokenStatus::kEndOfFile:
      fail(std::string(kUnexpectedEndOfFile) + ": expected " + expected, token.line);
    case TokenStatus::kTooLong:
      fail(std::string(kInvalidNumericInput) + ": expected " + expected +
               ", found a token longer than " + std::to_string(kMaxTokenLength) +
               " characters starting \"" + printable(token.text) + "\"",
           token.line);
    default:
      fail(std::string(kInvalidNumericInput) + ": expected " + expected + ", found \"" +
               printable(token.text) + "\"",
           token.line);
  }
}

}  // namespace vindrel
