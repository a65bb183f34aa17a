// Forms of the evaluation that tests and benchmarks call directly: the
// integrator's derivative function on the model's tables, and the evaluation
// on a bare copy of the states' values and flags. The run loop uses
// PreparedDerivatives (its calls and its step_end) and EvaluateEquations on
// the tables (equations.hpp).
#pragma once

#include <array>

#include "core/model.hpp"
#include "equations/equations.hpp"

namespace vindrel {

// The part of a state table that an evaluation reads and writes: values and
// HoldConstant flags, 1-based like the table. Copying it allocates nothing.
struct StateValues {
  std::array<double, kStateCapacity + 1> value{};
  std::array<bool, kStateCapacity + 1> HoldConstant{};
};

StateValues state_values_of(const statearray& states, int state_count);

// Evaluates the equations at `time` with the model's driver and parameter
// values. Reads and writes `states` (sentinel overrides, annual reset and, with
// StepUpdate, the end-of-step updates); writes all process values and sets
// model.NewYear in the end-of-step block. Arithmetic faults throw EZeroDivide
// (division by zero, including the logarithm of zero) or EInvalidOp (invalid
// operation, overflow, or a value that is not finite in the input). After a
// fault `states` and `processes` may be partly written; model.NewYear is left
// as it was.
void EvaluateEquations(Model& model, const EvaluationClock& clock, StateValues& states, double time,
                       ProcessValues& processes, bool StepUpdate);

// The integrator's derivative function: dydt[i - 1] is the derivative of state i
// for the state values y at time x (elements 0 to 54). Works on a private copy
// of the states' values and flags and leaves the model's tables untouched;
// throws like EvaluateEquations, leaving dydt as it was. Each thread keeps one
// working record for its calls of this function and of EvaluateEquations, so
// that no call clears or allocates one. PreparedDerivatives gives the same
// results for the time steps of a run.
void ComputeDerivatives(const Model& model, const EvaluationClock& clock, const StateVector& y,
                        StateVector& dydt, double x);

}  // namespace vindrel
