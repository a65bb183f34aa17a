#include "study/study_definition.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "core/exceptions.hpp"
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

struct DigestDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

class Sha256 {
 public:
  Sha256() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
      throw std::runtime_error("the SHA-256 digest is not available");
    }
  }
  void add(const char* data, std::size_t size) {
    if (EVP_DigestUpdate(context_.get(), data, size) != 1) {
      throw std::runtime_error("the SHA-256 digest failed");
    }
  }
  std::string hex() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &size) != 1) {
      throw std::runtime_error("the SHA-256 digest failed");
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
      text += kDigits[digest[i] >> 4];
      text += kDigits[digest[i] & 0xF];
    }
    return text;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, DigestDeleter> context_;
};

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
    const std::string_view content = line.text;
    const std::size_t colon = content.find(": ");
    const std::string_view key = colon == std::string_view::npos || !content.starts_with("# ")
                                     ? std::string_view()
                                     : content.substr(2, colon - 2);
    if (!valid_key(key) || colon + 2 >= content.size()) {
      throw EInOutError(
          "expected a line of the study's definition, \"# KEY: VALUE\", found " + quoted(content),
          file_name, number + line.number - 1);
    }
    std::string_view value = content.substr(colon + 2);
    std::string_view note;
    if (const std::size_t gap = value.find(kNoteSeparator); gap != std::string_view::npos) {
      note = value.substr(gap + kNoteSeparator.size());
      value = value.substr(0, gap);
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

std::string sha256_hex(std::string_view bytes) {
  Sha256 digest;
  digest.add(bytes.data(), bytes.size());
  return digest.hex();
}

std::string file_content_hash(const std::string& file_name) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(file_name.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw_io_error(errno != 0 ? errno : ENOENT, file_name);
  Sha256 digest;
  std::array<char, 64 * 1024> buffer;
  std::size_t size = 0;
  while ((size = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    digest.add(buffer.data(), size);
  }
  if (std::ferror(file.get()) != 0) throw_io_error(errno != 0 ? errno : EIO, file_name);
  return std::string(kHashWord) + digest.hex();
}

}  // namespace vindrel::study
