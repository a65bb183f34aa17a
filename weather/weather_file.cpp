// Writing a generated series as a driver file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::weather {

namespace {

// Writes the days that `produce` hands over, through the driver file writer.
void write_days(const std::string& file_name,
                const std::function<void(const std::function<void(const DriverDay&)>&)>& produce) {
  Model model = make_model();
  DriverFileWriter file;
  file.open(file_name, model);
  const std::int32_t count = model.ModelInfo.DriverCount;
  produce([&](const DriverDay& day) {
    for (std::int32_t k = 1; k <= count; ++k) {
      model.drivers[static_cast<std::size_t>(k)].value = day.value[static_cast<std::size_t>(k)];
    }
    file.write_record(day.time, count, model.drivers);
  });
  file.close();  // puts the new file in place
}

}  // namespace

void write_weather_file(const std::string& file_name, const std::vector<DriverDay>& days) {
  write_days(file_name, [&days](const std::function<void(const DriverDay&)>& write) {
    for (const DriverDay& day : days) write(day);
  });
}

void write_weather_file(const std::string& file_name, const WeatherConfig& config) {
  check_config(config);  // before the file is started
  write_days(file_name, [&config](const std::function<void(const DriverDay&)>& write) {
    generate_weather(config, write);
  });
}

}  // namespace vindrel::weather
