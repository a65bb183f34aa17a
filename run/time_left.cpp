#include "run/time_left.hpp"

#include <cstdio>

namespace vindrel {

std::optional<double> seconds_left(double elapsed_seconds, double present_time, double start_time,
                                   double stop_time) {
  // The share of the run's model time done.
  const double done = (present_time - start_time) / (stop_time - start_time);
  if (!(done > 0.0 && done <= 1.0 && elapsed_seconds > 0.5)) return std::nullopt;
  return elapsed_seconds * (1.0 - done) / done;
}

std::string time_left_text(double elapsed_seconds, double present_time, double start_time,
                           double stop_time) {
  const std::optional<double> left =
      seconds_left(elapsed_seconds, present_time, start_time, stop_time);
  return left ? clock_text(*left) : "--:--";
}

std::string clock_text(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace vindrel
