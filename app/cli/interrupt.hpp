// Ctrl-C, SIGTERM and SIGHUP for the commands that run the model: while an
// InterruptGuard lives, the first of them only sets a flag that the command
// passes on to its runs as a stop request (read after each time step), so that
// a run stopped by a batch system's time limit, `timeout` or `kill` ends as
// after Ctrl-C, with its records and saved states; a second signal ends the
// program at once, unless the command already stops and publishes its files
// (catch_again()).
#pragma once

#include <csignal>

namespace vindrel::cli {

class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once a signal came while the guard lived.
  static bool interrupted() noexcept;
  // The signal that came (SIGINT, SIGTERM or SIGHUP), 0 when none did; kept
  // after the guard ends.
  static int signal_number() noexcept;
  // The exit status of a command stopped by it: 128 + the signal (130 after
  // Ctrl-C, 143 after SIGTERM, 129 after SIGHUP).
  static int exit_status() noexcept;
  // "Ctrl-C", "SIGTERM" or "SIGHUP".
  static const char* signal_name() noexcept;
  // Catches the signals again after a first one (which otherwise lets a
  // second end the program at once), for a step that must not be cut short:
  // publishing an output file whose records are written.
  static void catch_again() noexcept;

 private:
  struct sigaction previous_interrupt_ {};
  struct sigaction previous_terminate_ {};
  struct sigaction previous_hang_up_ {};
};

}  // namespace vindrel::cli
