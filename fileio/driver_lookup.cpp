// The driver lookup: the driver values at any model time.
#include <algorithm>
#include <cmath>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/io_error.hpp"

namespace vindrel {

DriverLookup::DriverLookup() = default;
DriverLookup::~DriverLookup() = default;

bool DriverLookup::open(const TextSource& source, std::int32_t DriverCount) {
  driver_count_ = std::clamp(DriverCount, 0, kDriverCapacity);
  return reader_.open(source);
}

bool DriverLookup::open(const TextSource& source, const Model& model) {
  return open(source, model.ModelInfo.DriverCount);
}

void DriverLookup::GetDrivers(driverarray& drivers, double t, double stop_time) {
  const std::int32_t n = driver_count_;
  double record_time = 0.0;
  if (previous_time_ == 0.0 && next_time_ == 0.0) {
    reader_.open_existing();
    if (!reader_.read_values(record_time, scratch_.data(), n, drivers)) {
      throw EInOutError(std::string(kNoDriverRecordMessage), reader_.file_name(), reader_.line());
    }
    next_time_ = record_time;
    std::copy_n(scratch_.begin(), n + 1, next_.begin());
    previous_time_ = next_time_;
    previous_ = next_;
  }
  while (std::fabs(next_time_) <= t) {
    previous_time_ = next_time_;
    previous_ = next_;
    if (!reader_.at_end_of_data() && !reader_.is_open()) {
      throw EInOutError(std::string(kFileNotOpenForInput), reader_.file_name());
    }
    if (!reader_.read_values(record_time, scratch_.data(), n, drivers)) {
      next_time_ = 2.0 * stop_time;
      break;
    }
    next_time_ = record_time;
    std::copy_n(scratch_.begin(), n + 1, next_.begin());
  }
  const double from = std::fabs(previous_time_);
  const double to = std::fabs(next_time_);
  if (next_time_ < 0.0 && to != from) {
    // Linear interpolation from the record in force towards the next record.
    const double f = (t - from) / (to - from);
    for (std::int32_t i = 1; i <= n; ++i) {
      drivers[i].value = previous_[i] + f * (next_[i] - previous_[i]);
    }
  } else {
    for (std::int32_t i = 1; i <= n; ++i) drivers[i].value = previous_[i];
  }
}

}  // namespace vindrel
