// The driver lookup: the driver values at any model time.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/driver_records.hpp"
#include "fileio/io_error.hpp"

namespace vindrel {

DriverLookup::DriverLookup() = default;
DriverLookup::~DriverLookup() = default;

bool DriverLookup::open(const TextSource& source, std::int32_t DriverCount) {
  records_.reset();
  driver_count_ = std::clamp(DriverCount, 0, kDriverCapacity);
  return reader_.open(source);
}

bool DriverLookup::open(const TextSource& source, const Model& model) {
  return open(source, model.ModelInfo.DriverCount);
}

void DriverLookup::open(std::shared_ptr<const DriverRecords> records) {
  reader_.close();
  driver_count_ = records->driver_count();
  records_ = std::move(records);
  next_record_ = 0;
}

const std::string& DriverLookup::file_name() const noexcept {
  return records_ ? records_->file_name() : reader_.file_name();
}

void DriverLookup::restart() {
  if (records_) {
    next_record_ = 0;
  } else {
    reader_.open_existing();
  }
}

bool DriverLookup::read_next(const driverarray& names) {
  const std::int32_t n = driver_count_;
  if (!records_) {
    double record_time = 0.0;
    if (!reader_.read_values(record_time, scratch_.data(), n, names)) return false;
    next_time_ = record_time;
    std::copy_n(scratch_.begin(), n + 1, next_.begin());
    return true;
  }
  if (next_record_ < records_->size()) {
    const double* record = records_->record(next_record_++);
    next_time_ = record[0];
    std::copy_n(record + 1, n, next_.begin() + 1);
    return true;
  }
  if (const std::exception_ptr& failure = records_->failure()) {
    // Each run that reaches the record fails with an error of its own.
    try {
      std::rethrow_exception(failure);
    } catch (const EInOutError& e) {
      throw EInOutError(e);
    }
  }
  if (!records_->at_end_of_data()) {
    throw std::logic_error("the drivers were looked up beyond the records read from " +
                           records_->file_name());
  }
  return false;
}

void DriverLookup::GetDrivers(driverarray& drivers, double t, double stop_time) {
  const std::int32_t n = driver_count_;
  if (previous_time_ == 0.0 && next_time_ == 0.0) {
    restart();
    if (!read_next(drivers)) {
      const std::size_t line = records_ ? records_->end_line() : reader_.line();
      throw EInOutError(std::string(kNoDriverRecordMessage), file_name(), line);
    }
    previous_time_ = next_time_;
    previous_ = next_;
  }
  while (std::fabs(next_time_) <= t) {
    previous_time_ = next_time_;
    previous_ = next_;
    if (!records_ && !reader_.at_end_of_data() && !reader_.is_open()) {
      throw EInOutError(std::string(kFileNotOpenForInput), reader_.file_name());
    }
    if (!read_next(drivers)) {
      next_time_ = 2.0 * stop_time;
      break;
    }
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
