// The records of a driver file that a run reaches, read once and kept in
// memory as numbers: a run looks its drivers up there instead of reading the
// file day by day, and the runs of a study share one copy across their threads.
//
// Only the records up to a time are read (a run over ten years of a file of a
// thousand reads ten years), and a record that cannot be read is not reported
// when it is met here: its error is kept and thrown by the lookup when it
// reaches that record, so a run goes as far as it went reading the file itself,
// with the same message, file and line. Each record costs (1 + DriverCount)
// doubles: 152 bytes with the model's 18 drivers, 55.6 MB for a thousand
// years of daily records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {

class DriverRecords {
 public:
  // Reads the records of `source` for drivers 1..DriverCount of `model` as a
  // lookup that is asked for times up to `last_time` reads them: from the
  // first on, up to and including the first record whose absolute time is
  // greater than last_time, or to the end of the data. Returns nullptr when
  // the file does not exist (the caller shows kDriverFileMissingMessage).
  // Throws EInOutError when the file cannot be opened or its header lines are
  // missing, as DriverFileReader::open does; the error of a record is kept
  // (see failure). `model` supplies the driver names of the messages.
  static std::shared_ptr<const DriverRecords> read(const TextSource& source, const Model& model,
                                                   double last_time);

  const std::string& file_name() const noexcept { return file_name_; }
  std::int32_t driver_count() const noexcept { return driver_count_; }
  // Records kept.
  std::size_t size() const noexcept { return size_; }
  // Record k (0-based): element 0 is its time as read (sign included, days),
  // elements 1..DriverCount its values.
  const double* record(std::size_t k) const noexcept {
    return blocks_[k / kRecordsPerBlock].get() + (k % kRecordsPerBlock) * stride();
  }

  // What follows the last record kept: the end of the data (the end marker or
  // the end of the file), the error of the next record, or neither when the
  // reading stopped after the first record beyond last_time.
  bool at_end_of_data() const noexcept { return end_of_data_; }
  const std::exception_ptr& failure() const noexcept { return failure_; }
  // The line the reading stopped on at the end of the data, for messages.
  std::size_t end_line() const noexcept { return end_line_; }

 private:
  // Records are kept in blocks of this many, so that a long file is read
  // without copying what was read before and with at most one block unused.
  static constexpr std::size_t kRecordsPerBlock = 1024;

  std::size_t stride() const noexcept { return static_cast<std::size_t>(driver_count_) + 1; }
  double* append();

  std::string file_name_;
  std::int32_t driver_count_ = 0;
  std::size_t size_ = 0;
  std::vector<std::unique_ptr<double[]>> blocks_;
  bool end_of_data_ = false;
  std::exception_ptr failure_;
  std::size_t end_line_ = 0;
};

}  // namespace vindrel
