// Helpers of the driver file tests: driver files of the small test model with
// the records a test needs, and a lookup that answers the two driver values.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fileio_test_support.hpp"

namespace vindrel::testing {

inline constexpr double kStop = 30.0;

// The two header lines of the program's layout for the small model.
inline std::string driver_header() {
  const std::string golden = read_bytes(testing::golden_path("small.drr"));
  std::size_t end = golden.find("\r\n") + 2;
  end = golden.find("\r\n", end) + 2;
  return golden.substr(0, end);
}

// A driver file of the small model holding `records` after the header.
inline std::string driver_file(const TempFolder& folder, const std::string& records,
                               const std::string& name = "drivers.drr") {
  const std::string path = folder.file(name);
  write_bytes(path, driver_header() + records);
  return path;
}

struct Lookup {
  Model model = small_model();
  DriverLookup lookup;

  explicit Lookup(const TextSource& source) { EXPECT_TRUE(lookup.open(source, model)); }
  // Driver values at time t.
  std::pair<double, double> at(double t) {
    lookup.GetDrivers(model.drivers, t, kStop);
    return {model.drivers[1].value, model.drivers[2].value};
  }
};

using Values = std::pair<double, double>;

}  // namespace vindrel::testing
