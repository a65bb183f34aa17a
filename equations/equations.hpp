// The model's equations: every process value and state derivative from time,
// drivers, states and parameters, with the annual reset and the once-per-step
// discrete updates.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "core/model.hpp"

namespace vindrel {

namespace equations {
struct Evaluation;
}

// The two run settings that the equations read at every call.
struct EvaluationClock {
  double time_step = 1.0;   // the run's simulation time step, days
  double start_time = 1.0;  // the run's start time, days
};

// The integrator's vector, as long as the state table's capacity: element i - 1
// is state i.
using StateVector = std::array<double, kStateCapacity>;

// Process values, 1-based like the process table.
using ProcessValues = std::array<double, kProcessCapacity + 1>;

// Evaluates the equations at `time` on the model's own tables, with its driver
// and parameter values: the form the run loop and the parameter editor use.
// Reads and writes `states` (sentinel overrides, annual reset and, with
// StepUpdate, the end-of-step updates); writes all process values and sets
// model.NewYear in the end-of-step block. Arithmetic faults throw EZeroDivide
// (division by zero, including the logarithm of zero) or EInvalidOp (invalid
// operation, overflow, or a value that is not finite in the input); a fault
// leaves the tables and model.NewYear as they were.
void EvaluateEquations(Model& model, const EvaluationClock& clock, statearray& states, double time,
                       processarray& processes, bool StepUpdate);

// The integrator's derivative function for the time steps of a run.
// The drivers, the parameters and the HoldConstant flags are copied out of the
// model's tables once, in prepare(), so that each call takes only the states.
// A call gives exactly what ComputeDerivatives (testing.hpp) gives on the model
// as it was at the last prepare(), faults included: prepare again whenever the
// parameters, flags or the clock may have changed, and take the drivers and
// NewYear again with prepare_drivers() whenever only they may have (the run
// loop prepares once and takes the drivers before every integrator call). The working record is
// made once, by the constructor; prepare() and the calls allocate nothing.
class PreparedDerivatives {
 public:
  PreparedDerivatives();
  ~PreparedDerivatives();
  PreparedDerivatives(const PreparedDerivatives&) = delete;
  PreparedDerivatives& operator=(const PreparedDerivatives&) = delete;

  void prepare(const Model& model, const EvaluationClock& clock);
  // Takes the model's drivers and NewYear flag again and nothing else: for the
  // next integrator call of a run, whose parameters, flags and clock are
  // those of the last prepare(). The run loop's drivers change every time
  // step, its parameters never; copying these out of the tables every step
  // cost as much as an evaluation.
  void prepare_drivers(const Model& model);
  // dydt[i - 1] is the derivative of state i for the state values y at time x.
  // Not const: every call works in the object's own record, so one object
  // serves one thread.
  void operator()(const StateVector& y, StateVector& dydt, double x);

  // The end-of-step evaluation of the run loop on the prepared record: what
  // EvaluateEquations with StepUpdate gives on a state table holding y, with
  // the prepared drivers, parameters, flags and clock and the given NewYear
  // flag, without copying them out of the model's tables again. y takes the
  // state updates (sentinel overrides, annual reset, the once-per-step
  // updates) and processes[1..] every process value; returns NewYear as the
  // end-of-step block leaves it. Faults throw as EvaluateEquations's do, and
  // then y and processes are left as they were. y_is_last_call says that y
  // holds the very states of the last call (an integrator whose last stage is
  // taken at the state it ends with): when that call completed at this time,
  // its equation groups serve again, which halves the cost.
  bool step_end(StateVector& y, bool NewYear, double time, ProcessValues& processes,
                bool y_is_last_call = false);

  // The states and the time of the last call that failed with an arithmetic
  // fault (kept only then), so that the fault can be looked into afterwards.
  bool has_faulted() const { return has_faulted_; }
  const StateVector& faulted_states() const { return faulted_states_; }
  double faulted_time() const { return faulted_time_; }

 private:
  [[noreturn]] void keep_fault_and_throw(const StateVector& y, double x, bool flags_raised);

  // The working record of the calls, its drivers and parameters filled in.
  std::unique_ptr<equations::Evaluation> work_;
  std::array<bool, kStateCapacity + 1> HoldConstant_{};
  std::array<int, kStateCapacity> held_positions_{};  // the held states, in order
  int held_count_ = 0;
  bool NewYear_ = false;
  bool inputs_finite_ = true;        // every driver, parameter and clock value
  bool fixed_inputs_finite_ = true;  // every parameter and clock value
  EvaluationClock clock_;
  bool has_faulted_ = false;
  // The last call completed (nothing was prepared since), and its time.
  bool last_call_complete_ = false;
  double last_call_time_ = 0.0;
  StateVector faulted_states_{};
  double faulted_time_ = 0.0;
};

// Where an arithmetic fault arose: evaluates the equations once more with the
// model's drivers, parameters, flags and NewYear, the state values y and the
// time, testing the floating-point fault flags after each equation group (and,
// with StepUpdate, after the end-of-step block). Returns the name of the first
// group that raised one ("photosynthesis (group c)"); for a driver, state or
// parameter that is not a finite number, which makes invalid operations
// wherever it goes, "none (driver Tamax is not a finite number)"; "" when no
// group faults. For the diagnosis of a failed run only: it is slow, and it
// leaves the model's tables alone.
std::string faulting_equation_group(const Model& model, const EvaluationClock& clock,
                                    const StateVector& y, double time, bool StepUpdate);

}  // namespace vindrel
