#include "app/cli/file_clash.hpp"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace vindrel::cli {
namespace {

namespace fs = std::filesystem;

// Where a name leads: absolute, with "." and ".." gone and the links of the
// part that exists resolved. Empty when the name cannot be resolved.
fs::path resolved(const std::string& name) {
  std::error_code error;
  fs::path path = fs::weakly_canonical(fs::absolute(name, error), error);
  if (error) return {};
  return path;
}

}  // namespace

bool same_file(const std::string& first, const std::string& second) {
  std::error_code error;
  const bool first_exists = fs::exists(first, error);
  const bool second_exists = fs::exists(second, error);
  if (first_exists && second_exists) {
    const bool same = fs::equivalent(first, second, error);
    return !error && same;
  }
  // A file that exists is never the same as one that does not; two files not
  // made yet are the same when their names lead to the same place.
  if (first_exists || second_exists) return false;
  const fs::path a = resolved(first);
  return !a.empty() && a == resolved(second);
}

namespace {

// An input that is not there is reported by its reader ("File not found"),
// not as a clash with an output that is not there either.
bool same_existing_file(const std::string& first, const std::string& second) {
  std::error_code error;
  return fs::exists(second, error) && same_file(first, second);
}

}  // namespace

void refuse_overwriting_inputs(std::initializer_list<NamedFile> inputs,
                               std::initializer_list<NamedFile> outputs) {
  for (auto output = outputs.begin(); output != outputs.end(); ++output) {
    if (output->path.empty()) continue;
    for (const NamedFile& input : inputs) {
      if (input.path.empty() || !same_existing_file(output->path, input.path)) continue;
      throw std::runtime_error(std::string(output->option) + " and " + std::string(input.option) +
                               " name the same file, " + output->path +
                               "; an output never replaces an input: choose another file for " +
                               std::string(output->option));
    }
    for (auto other = outputs.begin(); other != output; ++other) {
      if (other->path.empty() || !same_file(output->path, other->path)) continue;
      throw std::runtime_error(std::string(other->option) + " and " + std::string(output->option) +
                               " name the same file, " + output->path +
                               "; each output needs a file of its own");
    }
  }
}

void refuse_overwriting_inputs_in_folder(std::initializer_list<NamedFile> inputs,
                                         std::initializer_list<NamedFile> outputs, NamedFile folder,
                                         const std::function<bool(std::string_view)>& writes) {
  std::error_code error;
  if (folder.path.empty()) return;
  const auto refuse = [&](const std::string& file, const NamedFile& other, bool input) {
    throw std::runtime_error(std::string(folder.option) + " would write " + file +
                             ", which is the same file as " + std::string(other.option) + " (" +
                             other.path + ")" +
                             (input ? "; an output never replaces an input: choose another "
                                      "folder for " +
                                          std::string(folder.option)
                                    : "; each output needs a file of its own"));
  };
  // An output not made yet that would be one of the folder's files.
  for (const NamedFile& output : outputs) {
    if (output.path.empty()) continue;
    const fs::path path(output.path);
    const std::string parent = path.has_parent_path() ? path.parent_path().string() : ".";
    if (writes(path.filename().string()) && same_file(parent, folder.path)) {
      refuse((fs::path(folder.path) / path.filename()).string(), output, false);
    }
  }
  for (fs::directory_iterator entry(folder.path, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!writes(entry->path().filename().string())) continue;
    const std::string file = entry->path().string();
    for (const NamedFile& input : inputs) {
      if (!input.path.empty() && same_existing_file(file, input.path)) refuse(file, input, true);
    }
    for (const NamedFile& output : outputs) {
      if (!output.path.empty() && same_existing_file(file, output.path)) {
        refuse(file, output, false);
      }
    }
  }
}

}  // namespace vindrel::cli
