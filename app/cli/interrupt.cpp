#include "app/cli/interrupt.hpp"

#include <atomic>
#include <csignal>

namespace vindrel::cli {
namespace {

std::atomic<int> received_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_interrupt(int signal) {
  int none = 0;
  received_signal.compare_exchange_strong(none, signal);
}

// A hang-up or a termination that the program was started to ignore (nohup,
// trap '' HUP) stays ignored: the one who started it chose so. An ignored
// Ctrl-C is caught all the same: a shell without job control ignores it for
// every command it starts in the background, which nobody chose.
void catch_signal(int signal, struct sigaction& previous) {
  if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN &&
      signal != SIGINT) {
    return;
  }
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  // The handler resets itself, so a second signal of the kind ends the program.
  action.sa_flags = SA_RESETHAND;
  sigaction(signal, &action, &previous);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  received_signal.store(0);
  catch_signal(SIGINT, previous_interrupt_);
  catch_signal(SIGTERM, previous_terminate_);
  catch_signal(SIGHUP, previous_hang_up_);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &previous_interrupt_, nullptr);
  sigaction(SIGTERM, &previous_terminate_, nullptr);
  sigaction(SIGHUP, &previous_hang_up_, nullptr);
}

void InterruptGuard::catch_again() noexcept {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction present {};
    // Only a handler this guard installed and a first signal reset.
    if (sigaction(signal, nullptr, &present) != 0 || present.sa_handler != SIG_DFL) continue;
    if (received_signal.load() == 0) continue;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

bool InterruptGuard::interrupted() noexcept {
  return received_signal.load(std::memory_order_relaxed) != 0;
}

int InterruptGuard::signal_number() noexcept { return received_signal.load(); }

int InterruptGuard::exit_status() noexcept {
  const int signal = signal_number();
  return 128 + (signal == 0 ? SIGINT : signal);
}

const char* InterruptGuard::signal_name() noexcept {
  switch (signal_number()) {
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "Ctrl-C";
  }
}

}  // namespace vindrel::cli
