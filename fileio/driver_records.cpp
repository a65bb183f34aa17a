// A driver file's records kept in memory.
#include "fileio/driver_records.hpp"

#include <algorithm>
#include <cmath>

#include "fileio/driver_file.hpp"

namespace vindrel {

double* DriverRecords::append() {
  const std::size_t place = size_ % kRecordsPerBlock;
  if (place == 0) blocks_.push_back(std::make_unique<double[]>(kRecordsPerBlock * stride()));
  ++size_;
  return blocks_.back().get() + place * stride();
}

std::shared_ptr<const DriverRecords> DriverRecords::read(const TextSource& source,
                                                         const Model& model, double last_time) {
  DriverFileReader reader;
  if (!reader.open(source)) return nullptr;
  auto records = std::make_shared<DriverRecords>();
  records->file_name_ = source.name();
  records->driver_count_ = std::clamp(model.ModelInfo.DriverCount, 0, kDriverCapacity);
  const std::int32_t n = records->driver_count_;
  std::array<double, kDriverCapacity + 1> scratch{};
  for (;;) {
    double time = 0.0;
    try {
      if (!reader.read_values(time, scratch.data(), n, model.drivers)) {
        records->end_of_data_ = true;
        records->end_line_ = reader.line();
        break;
      }
    } catch (...) {
      records->failure_ = std::current_exception();
      break;
    }
    double* record = records->append();
    record[0] = time;
    std::copy_n(scratch.begin() + 1, n, record + 1);
    if (std::fabs(time) > last_time) break;
  }
  return records;
}

}  // namespace vindrel
