// Helpers shared by the file format tests: a small model whose files are short
// enough to keep as golden texts, a temporary folder, whole-file reading and a
// limit on the size of files written (to make a save fail as on a full disk).
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel::testing {

// Two drivers, two states, one own process and four parameters. Values are the
// ones the golden texts hold.
inline Model small_model() {
  Model model;
  TModelDef& info = model.ModelInfo;
  info.ModelName = "Vindrel";
  info.ModelVersion = "6.4.1";
  info.TimeUnit = "days";
  info.DriverCount = 2;
  info.StateCount = 2;
  info.ProcessCount = 3;
  info.ParameterCount = 4;
  model.drivers[1] = {"Air temperature max", 1.5, "deg C", "Tmax"};
  model.drivers[2] = {"Precipitation", -0.00125, "mm day-1", "Pr"};
  model.states[1].name = "C: foliar";
  model.states[1].value = 1.5;
  model.states[1].units = "g C m-2 ground";
  model.states[2].name = "N: soil mineral ammonium total";  // longer than 25 characters
  model.states[2].value = -0.00125;
  model.states[2].units = "g N m-2 ground";
  model.processes[1].name = "dC: foliardt";
  model.processes[2].name = "dN: soil mineral ammonium totaldt";
  model.processes[3].name = "LAI";
  model.processes[3].units = "m2 leaf m-2 ground";
  model.processes[3].value = 4.25;
  model.parameters[1] = {"latitude", 42.5, "degrees", "lat"};
  model.parameters[2] = {"Foliage C Density", 0.0, "g C m-2 leaf", "mF"};
  model.parameters[3] = {"two thirds", 2.0 / 3.0, "-", "tt"};
  model.parameters[4] = {"Canopy conductance max", 1e-300, "mmH2O m2 gnd m-2 leaf day-1", "gmax"};
  return model;
}

inline std::string golden_path(const std::string& name) {
  return std::string(VINDREL_SOURCE_DIR) + "/tests/fileio/golden/" + name;
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Where a reader under test takes its text from.
enum class ReadFrom { kFile, kText };

// The fixture of reader tests that run twice: once reading files, once reading
// the same bytes as a text in memory (as the driver editor checks its text).
class ReaderTest : public ::testing::TestWithParam<ReadFrom> {
 protected:
  // What the reader opens for the file at `path`: the path itself, or the
  // file's bytes as a text named after the path.
  TextSource source(const std::string& path) {
    if (GetParam() == ReadFrom::kFile) return TextSource(path);
    texts_.push_back(std::make_unique<std::string>(read_bytes(path)));
    return TextSource::text(*texts_.back(), path);
  }

 private:
  std::vector<std::unique_ptr<std::string>> texts_;  // kept while the readers read them
};

inline std::string read_from_name(const ::testing::TestParamInfo<ReadFrom>& info) {
  return info.param == ReadFrom::kFile ? "File" : "Text";
}

// Runs the tests of a ReaderTest fixture in both modes.
#define VINDREL_READ_FROM_FILE_AND_TEXT(Suite)                                                     \
  INSTANTIATE_TEST_SUITE_P(                                                                        \
      , Suite,                                                                                     \
      ::testing::Values(::vindrel::testing::ReadFrom::kFile, ::vindrel::testing::ReadFrom::kText), \
      ::vindrel::testing::read_from_name)

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vindrel-fileio-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the folder, for checking that no temporary file stays.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::string path_;
};

// While alive, files may not grow beyond `bytes`: a write past the limit fails
// with EFBIG, which the program reports as a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previous_handler_{};
};

}  // namespace vindrel::testing
