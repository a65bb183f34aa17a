// How long a run still needs, estimated from the time it has taken so far,
// as the progress displays of the command line and the desktop show it.
#pragma once

#include <optional>
#include <string>

namespace vindrel {

// Seconds of the clock still needed to reach `stop_time`, supposing the model
// time goes on at the pace it went from `start_time` to `present_time` in
// `elapsed_seconds`. Nothing while too little is known (under half a second
// taken, no model time reached) or outside the run.
std::optional<double> seconds_left(double elapsed_seconds, double present_time, double start_time,
                                   double stop_time);

// seconds_left as clock_text, or "--:--" when it is not known.
std::string time_left_text(double elapsed_seconds, double present_time, double start_time,
                           double stop_time);

// "M:SS", or "H:MM:SS" from an hour on, rounded to the second.
std::string clock_text(double seconds);

}  // namespace vindrel
