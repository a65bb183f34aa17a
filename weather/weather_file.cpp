// Writing a generated series as a driver file.
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::weather {

void write_weather_file(const std::string& file_name, const std::vector<DriverDay>& days) {
  Model model = MakeModel();
  DriverLookup file;
  file.OpenDriverFile(file_name, model, /*for_writing=*/true);
  const std::int32_t count = model.ModelInfo.DriverCount;
  for (const DriverDay& day : days) {
    for (std::int32_t k = 1; k <= count; ++k) {
      model.drivers[static_cast<std::size_t>(k)].value = day.value[static_cast<std::size_t>(k)];
    }
    file.WriteDriverRecord(day.time, count, model.drivers);
  }
  file.CloseDriverFile();  // puts the new file in place
}

}  // namespace vindrel::weather
