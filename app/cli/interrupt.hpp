// Ctrl-C for the commands that run the model: while an InterruptGuard lives,
// the first Ctrl-C only sets a flag that the command passes on to its runs as
// a stop request (read after each time step); a second one ends the program
// at once.
#pragma once

#include <csignal>

namespace vindrel::cli {

class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once Ctrl-C was pressed while the guard lived.
  static bool interrupted() noexcept;

 private:
  struct sigaction previous_ {};
};

}  // namespace vindrel::cli
