#include "study/text_lines.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"

namespace vindrel::study {

std::string read_text_file(const std::string& file_name) {
  std::error_code error;
  if (std::filesystem::is_directory(file_name, error)) {
    throw EInOutError("the name is a folder, not a file", file_name);
  }
  errno = 0;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) throw_io_error(errno != 0 ? errno : ENOENT, file_name);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw_io_error(EIO, file_name);
  return text;
}

std::vector<TextLine> split_lines(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<TextLine> lines;
  std::size_t number = 1;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back({number++, line});
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool is_blank_or_comment(std::string_view line) {
  const std::string_view content = trim(line);
  return content.empty() || content.front() == '#';
}

std::vector<std::string_view> split_commas(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t comma = line.find(',');
    fields.push_back(trim(line.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  return fields;
}

std::vector<std::string_view> split_values(std::string_view line) {
  if (line.find(',') != std::string_view::npos) return split_commas(line);
  std::vector<std::string_view> fields;
  std::size_t position = 0;
  while (true) {
    const std::size_t start = line.find_first_not_of(" \t", position);
    if (start == std::string_view::npos) break;
    const std::size_t end = line.find_first_of(" \t", start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) break;
    position = end;
  }
  return fields;
}

bool parse_finite(std::string_view token, double& value) {
  double parsed = 0.0;
  if (!parse_number(token, parsed) || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

std::string quoted(std::string_view text) {
  constexpr std::size_t kLongest = 60;
  std::string result;
  result.reserve(kLongest + 8);
  result.push_back('"');
  result.append(text.substr(0, kLongest));
  if (text.size() > kLongest) result.append("...");
  result.push_back('"');
  return result;
}

std::string shortest_text(double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;  // 32 characters always hold the shortest form of a double
  return std::string(buffer, end);
}

}  // namespace vindrel::study
