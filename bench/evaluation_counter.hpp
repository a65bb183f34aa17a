// Counts the evaluations of the equations that a run makes.
//
// The benchmark program is linked with the linker's --wrap for the two entry
// points that the run loop calls (bench/CMakeLists.txt): every call of
// ComputeDerivatives and of EvaluateEquations on the model's tables from
// another object file goes through a wrapper here that counts it and calls the
// library's function. Counting costs one increment per evaluation.
#pragma once

#include <cstdint>

#include "equations/equations.hpp"

namespace vindrel::bench {

struct EvaluationCount {
  std::int64_t derivatives = 0;  // ComputeDerivatives calls
  std::int64_t tables = 0;       // EvaluateEquations calls on the model's tables
};

// The calls counted since the program started.
EvaluationCount evaluation_count();

// ComputeDerivatives without the counting wrapper, for its own benchmark.
void uncounted_ComputeDerivatives(const Model& model, const EvaluationClock& clock,
                                  const StateVector& y, StateVector& dydt, double x);

}  // namespace vindrel::bench
