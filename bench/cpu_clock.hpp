// Timing for figures that are compared with each other on a busy machine.
//
// A ratio of two benchmarks run one after the other takes whatever else the
// machine did meanwhile into one of them only. The paired benchmarks here
// alternate short batches of the two operations instead, timing each batch with
// the thread's own CPU clock, and keep the best (smallest) batch of each: the
// batch least disturbed by other programs, measured under the same conditions
// as its partner.
#pragma once

#include <time.h>

#include <algorithm>
#include <limits>

namespace vindrel::bench {

// CPU time of the calling thread, in seconds.
inline double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The smallest time per operation seen over batches.
class BestTime {
 public:
  // Runs `batch` `count` times and keeps its time per operation if it is the best.
  template <class Batch>
  void time(int count, Batch&& batch) {
    const double start = thread_cpu_seconds();
    for (int i = 0; i < count; ++i) batch();
    const double seconds = (thread_cpu_seconds() - start) / count;
    best_ = std::min(best_, seconds);
  }
  double seconds() const { return best_; }
  double nanoseconds() const { return best_ * 1e9; }

 private:
  double best_ = std::numeric_limits<double>::infinity();
};

}  // namespace vindrel::bench
