#include "bench/bench_data.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "fileio/param_file.hpp"
#include "tests/support/temperate_forest.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::bench {
namespace {

namespace fs = std::filesystem;

// Removes the scratch folder when the process ends normally. Child processes
// that leave with _exit do not run it, so only the process that made the
// folder removes it.
class ScratchFolder {
 public:
  ScratchFolder() : owner_(getpid()) {
    std::string pattern = (fs::temp_directory_path() / "vindrel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    if (getpid() != owner_) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  pid_t owner_;
  std::string path_;
};

ExampleStand find_or_make_example_stand() {
  ExampleStand stand;
  const fs::path examples = fs::path(VINDREL_SOURCE_DIR) / "examples";
  const fs::path par = examples / "vindrel-example.par";
  const fs::path drr = examples / "vindrel-example.drr";
  if (fs::is_regular_file(par) && fs::is_regular_file(drr)) {
    stand.parameter_file = par.string();
    stand.driver_file = drr.string();
    stand.from_examples = true;
    return stand;
  }
  stand.parameter_file = scratch_file("stand.par");
  WriteParamFile(stand.parameter_file, support::temperate_forest());
  stand.driver_file = synthetic_driver_file(30);
  return stand;
}

}  // namespace

const std::string& scratch_folder() {
  static const ScratchFolder folder;
  return folder.path();
}

std::string scratch_file(const std::string& name) {
  return (fs::path(scratch_folder()) / name).string();
}

const ExampleStand& example_stand() {
  static const ExampleStand stand = find_or_make_example_stand();
  return stand;
}

Model example_model() {
  Model model = make_model();
  if (!ReadParamFile(example_stand().parameter_file, model)) {
    throw std::runtime_error(example_stand().parameter_file + ": " +
                             std::string(kIncompatibleParamFileMessage));
  }
  return model;
}

std::string synthetic_driver_file(int years) {
  static std::map<int, std::string> made;
  const auto found = made.find(years);
  if (found != made.end()) return found->second;
  weather::WeatherConfig config;
  config.years = years;
  config.start_time = 1.0;
  const std::string file = scratch_file("weather-" + std::to_string(years) + "y.drr");
  weather::write_weather_file(file, weather::generate_weather(config));
  made.emplace(years, file);
  return file;
}

}  // namespace vindrel::bench
