#include "app/cli/interrupt.hpp"

#include <atomic>
#include <csignal>

namespace vindrel::cli {
namespace {

std::atomic<bool> interrupt_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_interrupt(int) { interrupt_requested.store(true); }

}  // namespace

InterruptGuard::InterruptGuard() {
  interrupt_requested.store(false);
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  // The handler resets itself, so a second Ctrl-C ends the program.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &previous_);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &previous_, nullptr);
}

bool InterruptGuard::interrupted() noexcept {
  return interrupt_requested.load(std::memory_order_relaxed);
}

}  // namespace vindrel::cli
