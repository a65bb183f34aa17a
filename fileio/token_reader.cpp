#include "fileio/token_reader.hpp"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
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

// A decimal number of at most 15 or so significant digits and a small
// exponent ("1.2345678901234E+0003", "0.5", "42"), the form of nearly every
// number in the program's files, read without the general parser: its digits
// make a whole number w <= 2^53 and its exponent a power 10^k with |k| <= 22,
// both exact as doubles, so that w * 10^k or w / 10^-k, one correctly rounded
// operation, is the correctly rounded value that std::from_chars gives.
// Returns the end of the number, or nullptr when the number is not of this
// form (the general parser then reads it).
const char* read_exact_decimal(const char* p, const char* limit, double& out) noexcept {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10u; };
  std::uint64_t whole = 0;
  int significant = 0;
  int scale = 0;
  bool any = false;
  const auto take = [&](char c) {
    if (whole == 0 && c == '0') return true;  // a leading zero
    if (++significant > 19) return false;
    whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
    return true;
  };
  for (; p != limit && digit(*p); ++p, any = true) {
    if (!take(*p)) return nullptr;
  }
  if (p != limit && *p == '.') {
    for (++p; p != limit && digit(*p); ++p, any = true, --scale) {
      if (!take(*p)) return nullptr;
    }
  }
  if (!any) return nullptr;
  if (p != limit && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    const bool negative = e != limit && *e == '-';
    if (e != limit && (*e == '+' || *e == '-')) ++e;
    if (e == limit || !digit(*e)) return nullptr;
    int exponent = 0;
    for (; e != limit && digit(*e); ++e) {
      if (exponent < 10000) exponent = exponent * 10 + (*e - '0');
    }
    scale += negative ? -exponent : exponent;
    p = e;
  }
  if (whole > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) return nullptr;
  const auto w = static_cast<double>(whole);
  out = scale < 0 ? w / kPowers[-scale] : w * kPowers[scale];
  return p;
}

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
      if (const char* end = read_exact_decimal(q, limit, value);
          end != nullptr && (end != limit ? is_separator(*end) : end_ == limit && memory_) &&
          static_cast<std::size_t>(end - start) <= kMaxTokenLength) {
        position_ = end;
        token.status = TokenStatus::kNumber;
        token.value = negative ? -value : value;
        token.text = std::string_view(start, static_cast<std::size_t>(end - start));
        return token;
      }
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
