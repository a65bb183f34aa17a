// The floating-point status flags that make an evaluation fail, and their
// translation into the model's arithmetic faults. Internal to the equations,
// whose library is built so that the compiler keeps every operation that may
// raise a flag.
#pragma once

#include <cfenv>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "core/exceptions.hpp"

namespace vindrel::equations {

// The status flags that make an evaluation fail; underflow and inexact
// results are normal.
inline constexpr int kFaultFlags = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

// The fault flags raised since they were last cleared. On x86-64 every double
// operation, the mathematical library's included, runs on the SSE unit, whose
// flags sit in the MXCSR register at the bit positions of the FE_ constants;
// reading it is a single instruction, where fetestexcept is a library call
// that also reads the x87 unit's flags, which no double arithmetic raises.
inline int raised_fault_flags() {
#if defined(__x86_64__) && defined(__SSE2_MATH__)
  static_assert(FE_INVALID == 0x01 && FE_DIVBYZERO == 0x04 && FE_OVERFLOW == 0x08,
                "the FE_ constants are the MXCSR status bits");
  return static_cast<int>(_mm_getcsr()) & kFaultFlags;
#else
  return std::fetestexcept(kFaultFlags);
#endif
}

// Before an evaluation no fault flag may be raised. After an evaluation that
// succeeded none is, so the flags are cleared only when one is found: the test
// is cheap, while clearing saves and restores the whole floating-point
// environment, which costs as much as a tenth of the arithmetic of an
// evaluation.
inline void clear_fault_flags() {
  if (raised_fault_flags() != 0) std::feclearexcept(FE_ALL_EXCEPT);
}

// Throws the model's arithmetic fault for the flags raised since they were
// cleared: EZeroDivide for a division by zero (the integrator then halves its
// step), EInvalidOp for an overflow or an invalid operation. An overflow is
// named before an invalid operation because the infinity it leaves behind is
// what usually makes the invalid operations that follow it.
inline void throw_raised_faults() {
  const int raised = raised_fault_flags();
  if (raised != 0) {
    if ((raised & FE_DIVBYZERO) != 0) throw EZeroDivide("Division by zero");
    if ((raised & FE_OVERFLOW) != 0) throw EInvalidOp("Floating point overflow");
    throw EInvalidOp("Invalid floating point operation");
  }
}

// A value that is not finite without any flag can only come from an input
// that was not finite; it is refused as well, so that it never reaches the
// process table or the integrator's error test.
[[noreturn]] inline void refuse_non_finite() {
  throw EInvalidOp("Invalid floating point operation");
}

}  // namespace vindrel::equations
