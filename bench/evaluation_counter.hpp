// Counts the evaluations of the equations that a run makes.
//
// The benchmark program is linked with the linker's --wrap for the entry
// points of the equations that a run calls (bench/CMakeLists.txt): every call
// of the derivative functions (ComputeDerivatives, PreparedDerivatives and its
// prepare), of EvaluateEquations on the model's tables and of the run loop's
// end-of-step evaluation (PreparedDerivatives::step_end) from another object
// file goes through a wrapper here that counts it and calls the library's
// function. Counting costs one increment per evaluation.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/positions.hpp"
#include "equations/equations.hpp"

namespace vindrel::bench {

struct EvaluationCount {
  std::int64_t derivatives = 0;  // ComputeDerivatives and PreparedDerivatives calls
  std::int64_t tables = 0;       // EvaluateEquations and step_end calls
};

// The calls counted since the program started.
EvaluationCount evaluation_count();

// What one derivative evaluation of a run was given: the time, the state
// vector and the model's driver values.
struct EvaluationInput {
  double x = 0.0;
  StateVector y{};
  std::array<double, driver::kCount + 1> drivers{};  // 1-based
};

// While a capture is active, every `stride`-th derivative evaluation's input
// is appended to `inputs`. Pass nullptr to stop.
void capture_evaluation_inputs(std::vector<EvaluationInput>* inputs, int stride);

// ComputeDerivatives without the counting wrapper, for its own benchmark.
void uncounted_ComputeDerivatives(const Model& model, const EvaluationClock& clock,
                                  const StateVector& y, StateVector& dydt, double x);

}  // namespace vindrel::bench
