#include "bench/evaluation_counter.hpp"

// The library's symbols of the wrapped functions (their mangled names), as the
// linker's --wrap options in bench/CMakeLists.txt name them. A change of a
// signature makes the link fail here rather than count nothing.
#define VINDREL_COMPUTE_DERIVATIVES \
  "_ZN7vindrel18ComputeDerivativesERKNS_5ModelERKNS_15EvaluationClockERKSt5arrayIdLm56EERS7_d"
#define VINDREL_PREPARED_CALL "_ZN7vindrel19PreparedDerivativesclERKSt5arrayIdLm56EERS2_d"
#define VINDREL_PREPARE \
  "_ZN7vindrel19PreparedDerivatives7prepareERKNS_5ModelERKNS_15EvaluationClockE"
#define VINDREL_EVALUATE_TABLES                                                    \
  "_ZN7vindrel17EvaluateEquationsERNS_5ModelERKNS_15EvaluationClockERSt5arrayINS_" \
  "14TstatevariableELm57EEdRS5_INS_16TprocessvariableELm201EEb"
#define VINDREL_STEP_END \
  "_ZN7vindrel19PreparedDerivatives8step_endERSt5arrayIdLm56EEbdRS1_IdLm201EEb"

namespace vindrel::bench {

// The library's own functions (external: the linker gives them their bodies).
void real_compute_derivatives(const Model& model, const EvaluationClock& clock,
                              const StateVector& y, StateVector& dydt,
                              double x) __asm__("__real_" VINDREL_COMPUTE_DERIVATIVES);
// A member function is called with the object as its first argument.
void real_prepared_call(PreparedDerivatives* derivatives, const StateVector& y, StateVector& dydt,
                        double x) __asm__("__real_" VINDREL_PREPARED_CALL);
void real_prepare(PreparedDerivatives* derivatives, const Model& model,
                  const EvaluationClock& clock) __asm__("__real_" VINDREL_PREPARE);
void real_evaluate_tables(Model& model, const EvaluationClock& clock, statearray& states,
                          double time, processarray& processes,
                          bool StepUpdate) __asm__("__real_" VINDREL_EVALUATE_TABLES);
bool real_step_end(PreparedDerivatives* derivatives, StateVector& y, bool NewYear, double time,
                   ProcessValues& processes,
                   bool y_is_last_call) __asm__("__real_" VINDREL_STEP_END);

namespace {

EvaluationCount count;
std::vector<EvaluationInput>* captured = nullptr;
const Model* prepared_model = nullptr;  // the model of the last prepare()
int capture_stride = 1;

void capture(const Model& model, const StateVector& y, double x) {
  if (captured == nullptr || count.derivatives % capture_stride != 0) return;
  EvaluationInput& input = captured->emplace_back();
  input.x = x;
  input.y = y;
  for (int i = 1; i <= driver::kCount; ++i) input.drivers[i] = model.drivers[i].value;
}

}  // namespace

// The wrappers that every other object file's calls reach.
void counted_compute_derivatives(const Model& model, const EvaluationClock& clock,
                                 const StateVector& y, StateVector& dydt,
                                 double x) __asm__("__wrap_" VINDREL_COMPUTE_DERIVATIVES);
void counted_prepared_call(PreparedDerivatives* derivatives, const StateVector& y,
                           StateVector& dydt, double x) __asm__("__wrap_" VINDREL_PREPARED_CALL);
void counted_prepare(PreparedDerivatives* derivatives, const Model& model,
                     const EvaluationClock& clock) __asm__("__wrap_" VINDREL_PREPARE);
void counted_evaluate_tables(Model& model, const EvaluationClock& clock, statearray& states,
                             double time, processarray& processes,
                             bool StepUpdate) __asm__("__wrap_" VINDREL_EVALUATE_TABLES);
bool counted_step_end(PreparedDerivatives* derivatives, StateVector& y, bool NewYear, double time,
                      ProcessValues& processes,
                      bool y_is_last_call) __asm__("__wrap_" VINDREL_STEP_END);

void counted_compute_derivatives(const Model& model, const EvaluationClock& clock,
                                 const StateVector& y, StateVector& dydt, double x) {
  ++count.derivatives;
  if (captured != nullptr) capture(model, y, x);
  real_compute_derivatives(model, clock, y, dydt, x);
}

void counted_prepared_call(PreparedDerivatives* derivatives, const StateVector& y,
                           StateVector& dydt, double x) {
  ++count.derivatives;
  // Tested here, so that a timed run pays no call for it.
  if (captured != nullptr && prepared_model != nullptr) capture(*prepared_model, y, x);
  real_prepared_call(derivatives, y, dydt, x);
}

void counted_prepare(PreparedDerivatives* derivatives, const Model& model,
                     const EvaluationClock& clock) {
  prepared_model = &model;
  real_prepare(derivatives, model, clock);
}

void counted_evaluate_tables(Model& model, const EvaluationClock& clock, statearray& states,
                             double time, processarray& processes, bool StepUpdate) {
  ++count.tables;
  real_evaluate_tables(model, clock, states, time, processes, StepUpdate);
}

// The run loop's end-of-step evaluation, on the tables' values.
bool counted_step_end(PreparedDerivatives* derivatives, StateVector& y, bool NewYear, double time,
                      ProcessValues& processes, bool y_is_last_call) {
  ++count.tables;
  return real_step_end(derivatives, y, NewYear, time, processes, y_is_last_call);
}

EvaluationCount evaluation_count() { return count; }

void capture_evaluation_inputs(std::vector<EvaluationInput>* inputs, int stride) {
  captured = inputs;
  capture_stride = stride > 0 ? stride : 1;
}

void uncounted_ComputeDerivatives(const Model& model, const EvaluationClock& clock,
                                  const StateVector& y, StateVector& dydt, double x) {
  real_compute_derivatives(model, clock, y, dydt, x);
}

}  // namespace vindrel::bench
