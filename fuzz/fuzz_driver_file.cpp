// Fuzzes the driver file reader and the driver lookup. Whatever the bytes,
// reading records one by one and looking drivers up at a run's times (with a
// rewind in between) must end, throw nothing but EInOutError naming the file,
// and leave the table as it was when a read fails.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fuzz/fuzz_support.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

constexpr const char* kName = "input.drr";

void check_error(const EInOutError& error) {
  check(error.file() == kName, "the error does not name the file");
  check(!error.message().empty(), "the error has no message");
}

// Reads every record; each failed read must leave the table alone.
void read_all_records(const TextSource& input, std::size_t size) {
  const Model& pristine = fuzzing::pristine_model();
  const std::int32_t count = pristine.ModelInfo.DriverCount;
  DriverFileReader reader;
  driverarray drivers = pristine.drivers;
  try {
    check(reader.open(input), "a text was not opened");
  } catch (const EInOutError& error) {
    check_error(error);
    return;
  }
  double time = -123.5;
  std::size_t records = 0;
  for (;;) {
    const driverarray before = drivers;
    const double time_before = time;
    bool more = false;
    try {
      more = reader.read_record(time, count, drivers);
    } catch (const EInOutError& error) {
      check_error(error);
      check(error.line() >= 1 && error.line() <= size + 1, "the error names no line of the file");
      check(fuzzing::same_values(drivers, before) && fuzzing::same_bits(time, time_before),
            "a failed record read changed the table");
      break;
    }
    if (!more) {
      check(fuzzing::same_values(drivers, before) && fuzzing::same_bits(time, time_before),
            "the end of the data changed the table");
      check(!reader.read_record(time, count, drivers), "records after the end of the data");
      break;
    }
    for (int i = count + 1; i <= kDriverCapacity; ++i)
      check(fuzzing::same_bits(drivers[i].value, pristine.drivers[i].value),
            "a driver past the driver count changed");
    check(++records <= size, "more records than bytes in the file");
  }
  reader.close();
}

// Looks the drivers up as a run does, then again after a rewind.
void look_up_as_a_run(const TextSource& input) {
  const Model& pristine = fuzzing::pristine_model();
  static constexpr double kTimes[] = {0.0, 0.5, 1.0, 1.0, 2.0, 3.5, 10.0, 365.0, 366.0, 1e4, 1e300};
  static constexpr double kStopTime = 1000.0;
  DriverLookup lookup;
  driverarray drivers = pristine.drivers;
  try {
    check(lookup.open(input, pristine), "a text was not opened");
    for (int pass = 0; pass < 2; ++pass) {
      lookup.rewind();
      for (const double t : kTimes) {
        const driverarray before = drivers;
        try {
          lookup.GetDrivers(drivers, t, kStopTime);
        } catch (const EInOutError&) {
          check(fuzzing::same_values(drivers, before), "a failed lookup changed the table");
          throw;
        }
        // The lookup moves past every record due by t, or to the end of the data.
        check(!(std::fabs(lookup.next_time()) <= t) || lookup.next_time() == 2 * kStopTime,
              "the lookup stopped before the time it was asked for");
      }
    }
  } catch (const EInOutError& error) {
    check_error(error);
  }
  lookup.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TextSource input =
      TextSource::text(std::string_view(reinterpret_cast<const char*>(data), size), kName);
  read_all_records(input, size);
  look_up_as_a_run(input);
  return 0;
}
