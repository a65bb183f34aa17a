// The frame of one evaluation of the model's equations: copy drivers, states
// and parameters into named locals, apply the prescribed soil mineral nitrogen
// and the annual reset, run the groups of processes in their fixed order, make
// the once-per-step updates when asked, and store derivatives and processes by
// position. Arithmetic faults are detected from the floating-point status
// flags, which are cleared before and tested after the evaluation.
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <type_traits>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "core/exceptions.hpp"
#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel {
namespace {

using equations::Evaluation;

// The clocks and running totals that the annual reset sets to 0.
struct YearlyState {
  int position;               // in the state table
  double Evaluation::*local;  // the evaluation's copy
};

constexpr YearlyState kYearlyStates[] = {
    {state::Jday, &Evaluation::Jday},
    {state::DDa, &Evaluation::DDa},
    {state::DDs, &Evaluation::DDs},
    {state::PptT, &Evaluation::PptT},
    {state::PptIT, &Evaluation::PptIT},
    {state::EtT, &Evaluation::EtT},
    {state::QgT, &Evaluation::QgT},
    {state::QwT, &Evaluation::QwT},
    {state::DnT, &Evaluation::DnT},
    {state::PST, &Evaluation::PST},
    {state::NPPT, &Evaluation::NPPT},
    {state::tauNT, &Evaluation::tauNT},
    {state::RPT, &Evaluation::RPT},
    {state::lambdaCfT, &Evaluation::lambdaCfT},
    {state::lambdaCwT, &Evaluation::lambdaCwT},
    {state::lambdaCrT, &Evaluation::lambdaCrT},
    {state::lambdaNfT, &Evaluation::lambdaNfT},
    {state::lambdaNwT, &Evaluation::lambdaNwT},
    {state::lambdaNrT, &Evaluation::lambdaNrT},
    {state::lambdaCT, &Evaluation::lambdaCT},
    {state::lambdaNT, &Evaluation::lambdaNT},
    {state::RST, &Evaluation::RST},
    {state::NepT, &Evaluation::NepT},
    {state::UNT, &Evaluation::UNT},
    {state::UnfixT, &Evaluation::UnfixT},
    {state::NminT, &Evaluation::NminT},
    {state::QNT, &Evaluation::QNT},
};
static_assert(std::size(kYearlyStates) == 27);

constexpr int kSenescenceDays[] = {state::Jdfs, state::Jdws, state::Jdrs};

// The derivative of state i is kDerivatives[i - 1].
constexpr double Evaluation::*kDerivatives[] = {
#define VINDREL_STATE(id, symbol, name, units) &Evaluation::d##id##dt,
#include "core/model_definition.def"
#undef VINDREL_STATE
};
static_assert(std::size(kDerivatives) == state::kCount);

// Where an evaluation reads its states and writes what it changes in them.
// The tables' form: a StateValues record, read and written.
struct SharedStates {
  StateValues& states;
  double value(int position) const { return states.value[position]; }
  bool held(int position) const { return states.HoldConstant[position]; }
  void set(int position, double value) { states.value[position] = value; }
};

// The integrator's form: the values of the state vector y and the flags of the
// model's state table; what the evaluation writes into its states is dropped,
// as it would be with a private copy of the table.
struct PrivateStates {
  const StateVector& y;
  const statearray& table;
  double value(int position) const { return y[position - 1]; }
  bool held(int position) const { return table[position].HoldConstant; }
  void set(int, double) {}
};

// The drivers and parameters of the model's tables.
void copy_tables_in(const Model& model, Evaluation& e) {
#define VINDREL_DRIVER(id, symbol, name, units) e.id = model.drivers[driver::id].value;
#include "core/model_definition.def"
#undef VINDREL_DRIVER

  // The parameter positions are the 1-based parameter-table entries.
#define VINDREL_PARAMETER(id, symbol, name, units) \
  e.id = model.parameters[parameter::id].value;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
}

// The prepared derivative function's form: the values of the state vector y
// and the flags copied when it was prepared; writes are dropped.
// The held states come as a list made when it was prepared (usually empty).
struct PreparedStates {
  const StateVector& y;
  const std::array<bool, kStateCapacity + 1>& HoldConstant;
  const std::array<int, kStateCapacity>& held_positions;
  int held_count;
  double value(int position) const { return y[position - 1]; }
  bool held(int position) const { return HoldConstant[position]; }
  void set(int, double) {}
};

// The states lie together in the evaluation's record, in the order of their
// positions, as do the derivatives: the integrator's vectors copy in and out
// as blocks.
constexpr std::size_t kStatesBegin = offsetof(Evaluation, Cf);
constexpr std::size_t kDerivativesBegin = offsetof(Evaluation, dCfdt);
constexpr std::size_t kStatesSize = state::kCount * sizeof(double);
static_assert(offsetof(Evaluation, Jdrs) + sizeof(double) - kStatesBegin == kStatesSize,
              "the states must be declared together, in order");
static_assert(offsetof(Evaluation, dJdrsdt) + sizeof(double) - kDerivativesBegin == kStatesSize,
              "the derivatives must be declared together, in order");

// Marks a value that is not finite, that is, whose exponent bits are all ones:
// adding one to an exponent field of all ones carries into the sign bit, and
// into it only. The marks of many values are combined with |, and the top bit
// of the result tells whether any was not finite. Branch-free, so that the
// compiler tests several values at once.
constexpr std::uint64_t kExponentBits = 0x7FF0000000000000;
constexpr std::uint64_t kExponentOne = 0x0010000000000000;

inline std::uint64_t non_finite_mark(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & kExponentBits) + kExponentOne;
}

// Copies the doubles of a state vector and returns their combined marks. A
// loop of 16-byte moves: the compiler would make a plain memcpy of this size a
// string instruction, whose start-up costs more than the whole loop; the marks
// cost nothing beside the moves.
inline std::uint64_t copy_vector(unsigned char* to, const unsigned char* from) {
  constexpr std::size_t kPairs = kStatesSize / 16;
  std::uint64_t marks = 0;
#if defined(__x86_64__)
  const __m128i exponent = _mm_set1_epi64x(static_cast<long long>(kExponentBits));
  const __m128i one = _mm_set1_epi64x(static_cast<long long>(kExponentOne));
  __m128i pair_marks = _mm_setzero_si128();
  for (std::size_t i = 0; i < kPairs; ++i) {
    const __m128d pair = _mm_loadu_pd(reinterpret_cast<const double*>(from + 16 * i));
    _mm_storeu_pd(reinterpret_cast<double*>(to + 16 * i), pair);
    pair_marks = _mm_or_si128(pair_marks,
                              _mm_add_epi64(_mm_and_si128(_mm_castpd_si128(pair), exponent), one));
  }
  marks = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pair_marks)) |
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pair_marks, pair_marks)));
#else
  std::memcpy(to, from, 16 * kPairs);
  for (std::size_t i = 0; i < 2 * kPairs; ++i) {
    double value;
    std::memcpy(&value, from + 8 * i, sizeof value);
    marks |= non_finite_mark(value);
  }
#endif
  for (std::size_t at = 16 * kPairs; at < kStatesSize; at += sizeof(double)) {
    double value;
    std::memcpy(&value, from + at, sizeof value);
    std::memcpy(to + at, &value, sizeof value);
    marks |= non_finite_mark(value);
  }
  return marks;
}

inline bool marks_finite(std::uint64_t marks) { return (marks >> 63) == 0; }

// Copies the states into the evaluation. Returns false when a state value is
// not finite (only the integrator's forms test them; the tables' form tests
// its results instead).
template <class States>
bool copy_states_in(const States& states, Evaluation& e) {
  if constexpr (std::is_same_v<States, SharedStates>) {
#define VINDREL_STATE(id, symbol, name, units) e.id = states.value(state::id);
#include "core/model_definition.def"
#undef VINDREL_STATE
    return true;
  } else {
    return marks_finite(copy_vector(reinterpret_cast<unsigned char*>(&e) + kStatesBegin,
                                    reinterpret_cast<const unsigned char*>(states.y.data())));
  }
}

// The derivatives, out into the integrator's vector.
void copy_derivatives_out(const Evaluation& e, StateVector& dydt) {
  copy_vector(reinterpret_cast<unsigned char*>(dydt.data()),
              reinterpret_cast<const unsigned char*>(&e) + kDerivativesBegin);
}

// A soil mineral nitrogen driver that is not -1 replaces the state, in the
// evaluation and in the given states.
template <class States>
void apply_prescribed_soil_nitrogen(Evaluation& e, States& states) {
  if (is_prescribed(e.DNnh4)) {
    e.Nnh4 = e.DNnh4;
    states.set(state::Nnh4, e.DNnh4);
  }
  if (is_prescribed(e.DNno3)) {
    e.Nno3 = e.DNno3;
    states.set(state::Nno3, e.DNno3);
  }
}

// The clocks and running totals start again from 0 and the senescence start
// days from 999. Held states keep their stored values, but the evaluation
// sees 0 for every clock and total; it keeps seeing the start days read at
// entry.
template <class States>
void annual_reset(Evaluation& e, States& states) {
  for (const YearlyState& yearly : kYearlyStates) {
    e.*yearly.local = 0.0;
    if (!states.held(yearly.position)) states.set(yearly.position, 0.0);
  }
  for (const int day : kSenescenceDays) {
    if (!states.held(day)) states.set(day, kSenescenceNotStarted);
  }
}

// The discrete once-per-step updates, written into the given states from the
// evaluation's locals. The senescence start days are written whatever their
// HoldConstant flags, and only on the day senescence begins.
template <class States>
void apply_end_of_step(const Evaluation& e, States& states) {
  const auto update = [&states](int position, double value) {
    if (!states.held(position)) states.set(position, value);
  };
  update(state::Wr, e.Wr + (e.Pptr - e.PptI + e.Ms) * e.dt);
  update(state::Ws, e.Ws + (e.Ppts - e.Ms) * e.dt);
  update(state::Laieos, e.Laieos_captured);
  update(state::Jday, e.Jday + e.day_increment);
  update(state::DDa, e.DDa + e.air_degree_day_increment);
  update(state::DDs, e.DDs + e.soil_degree_day_increment);
  update(state::PptT, e.PptT + e.Ppt * e.dt);
  update(state::PptIT, e.PptIT + e.PptI * e.dt);
  update(state::QwT, e.QwT + e.PptI * e.dt);
  update(state::DnT, e.DnT + e.Dn * e.dt);

  if (e.foliage_senescence_starts) states.set(state::Jdfs, e.J1);
  if (e.wood_senescence_starts) states.set(state::Jdws, e.J1);
  if (e.root_senescence_starts) states.set(state::Jdrs, e.J1);
}

// The last touches before the results leave the evaluation.
template <class States>
void finish(Evaluation& e, const States& states) {
  // A held state does not move, whatever its formula says.
  if constexpr (std::is_same_v<States, PreparedStates>) {
    for (int k = 0; k < states.held_count; ++k) {
      e.*kDerivatives[states.held_positions[static_cast<std::size_t>(k)] - 1] = 0.0;
    }
  } else {
#define VINDREL_STATE(id, symbol, name, units) \
  if (states.held(state::id)) e.d##id##dt = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE
  }
}

void store(const Evaluation& e, ProcessValues& processes) {
#define VINDREL_STATE(id, symbol, name, units) processes[state::id] = e.d##id##dt;
#include "core/model_definition.def"
#undef VINDREL_STATE

#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) processes[process::id] = e.id;
#include "core/model_definition.def"
#undef VINDREL_PROCESS
}

// The status flags that make an evaluation fail; underflow and inexact
// results are normal.
constexpr int kFaultFlags = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

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
void clear_fault_flags() {
  if (raised_fault_flags() != 0) std::feclearexcept(FE_ALL_EXCEPT);
}

// The processes and the derivatives lie together in the evaluation's record,
// processes first: one block of doubles to test at once.
constexpr std::size_t kResultsBegin = offsetof(Evaluation, Ta);
constexpr std::size_t kResultsEnd = offsetof(Evaluation, dJdrsdt) + sizeof(double);
static_assert(kResultsEnd - kResultsBegin == process::kCount * sizeof(double),
              "the processes and the derivatives must be declared together");

// True when the `count` doubles of the evaluation's record from byte `begin` on
// are all finite.
bool block_finite(const Evaluation& e, std::size_t begin, std::size_t count) {
  const auto* values = reinterpret_cast<const unsigned char*>(&e) + begin;
  std::uint64_t marks = 0;
  for (std::size_t i = 0; i < count; ++i) {
    double value;
    std::memcpy(&value, values + i * sizeof value, sizeof value);
    marks |= non_finite_mark(value);
  }
  return marks_finite(marks);
}

// True when every derivative and every process value is finite.
bool all_results_finite(const Evaluation& e) {
  return block_finite(e, kResultsBegin, process::kCount);
}

// True when every derivative is finite: all that the integrator is given.
bool derivatives_finite(const Evaluation& e) {
  return block_finite(e, kDerivativesBegin, state::kCount);
}

// Turns the floating-point status flags raised since they were cleared into
// the model's arithmetic faults. Underflow and inexact results are normal. An
// overflow is named before an invalid operation because the infinity it leaves
// behind is what usually makes the invalid operations that follow it. A value
// that is not finite without any flag can only come from an input that was
// not finite; the callers refuse it as well, so that it never reaches the
// process table or the integrator's error test.
void raise_fault_flags() {
  const int raised = raised_fault_flags();
  if (raised != 0) {
    if ((raised & FE_DIVBYZERO) != 0) throw EZeroDivide("Division by zero");
    if ((raised & FE_OVERFLOW) != 0) throw EInvalidOp("Floating point overflow");
    throw EInvalidOp("Invalid floating point operation");
  }
}

void refuse_non_finite() { throw EInvalidOp("Invalid floating point operation"); }

// The frame of one evaluation in `e`, whose drivers, parameters and states
// are filled in: the prescribed soil nitrogen, the annual reset, the groups,
// the end-of-step block, the derivatives. Every derivative and process is left
// in `e`; faults are not tested. Returns the NewYear flag as it stands
// afterwards: set by the end-of-step block, `NewYear` otherwise.
template <class States>
bool run_frame(bool NewYear, const EvaluationClock& clock, States& states, double time,
               Evaluation& e, bool StepUpdate) {
  e.time = time;
  e.dt = clock.time_step;
  e.start_time = clock.start_time;
  e.StepUpdate = StepUpdate;

  apply_prescribed_soil_nitrogen(e, states);
  if (NewYear || time == clock.start_time) annual_reset(e, states);

  // Only the end-of-step block computes rain, snow, interception and melt.
  e.Pptr = 0.0;
  e.PptI = 0.0;
  e.Ppts = 0.0;
  e.Ms = 0.0;

  e.process_groups();

  if (StepUpdate) {
    NewYear = ends_model_year(time);
    e.end_of_step();
    apply_end_of_step(e, states);
  }

  e.state_derivatives();
  finish(e, states);
  return NewYear;
}

// One evaluation into `e`. Nothing of `model` is written, so that the
// integrator's evaluations provably leave the model alone. Arithmetic faults
// are thrown; the caller tests the finiteness of what it keeps.
template <class States>
bool evaluate(const Model& model, const EvaluationClock& clock, States& states, double time,
              Evaluation& e, bool StepUpdate) {
  clear_fault_flags();
  copy_tables_in(model, e);
  copy_states_in(states, e);
  const bool NewYear = run_frame(model.NewYear, clock, states, time, e, StepUpdate);
  raise_fault_flags();
  return NewYear;
}

// The working record of the evaluations made on this thread by
// ComputeDerivatives and EvaluateEquations. An evaluation writes every value it
// reads before reading it, apart from its inputs (the drivers, states and
// parameters, all copied in at every call), so a call needs no cleared record:
// whatever an earlier call left behind, failed calls included, is overwritten
// before it is used. Clearing the 3.5 kB record cost a tenth of an evaluation.
constinit thread_local Evaluation evaluation_scratch;

}  // namespace

StateValues state_values_of(const statearray& states, int state_count) {
  StateValues values;
  for (int i = 1; i <= state_count; ++i) {
    values.value[i] = states[i].value;
    values.HoldConstant[i] = states[i].HoldConstant;
  }
  return values;
}

void EvaluateEquations(Model& model, const EvaluationClock& clock, StateValues& states, double time,
                       ProcessValues& processes, bool StepUpdate) {
  Evaluation& e = evaluation_scratch;
  SharedStates shared{states};
  const bool NewYear = evaluate(model, clock, shared, time, e, StepUpdate);
  if (!all_results_finite(e)) refuse_non_finite();
  store(e, processes);
  model.NewYear = NewYear;
}

void EvaluateEquations(Model& model, const EvaluationClock& clock, statearray& states, double time,
                       processarray& processes, bool StepUpdate) {
  StateValues values = state_values_of(states, state::kCount);
  ProcessValues results;  // entries 1 to the process count are all written
  EvaluateEquations(model, clock, values, time, results, StepUpdate);
  // Reached only when the evaluation succeeded: a fault leaves the tables as
  // they were.
  for (int i = 1; i <= state::kCount; ++i) states[i].value = values.value[i];
  for (int i = 1; i <= process::kCount; ++i) processes[i].value = results[i];
}

void ComputeDerivatives(const Model& model, const EvaluationClock& clock, const StateVector& y,
                        StateVector& dydt, double x) {
  // The states are read from y and the flags from the model's table; the
  // overrides and the annual reset of this evaluation go nowhere.
  PrivateStates states{y, model.states};
  Evaluation& e = evaluation_scratch;
  evaluate(model, clock, states, x, e, false);
  // Only the derivatives leave: nothing else of the evaluation is kept, so
  // nothing else needs to be finite.
  if (!derivatives_finite(e)) refuse_non_finite();
  copy_derivatives_out(e, dydt);
}

PreparedDerivatives::PreparedDerivatives() : work_(std::make_unique<Evaluation>()) {}
PreparedDerivatives::~PreparedDerivatives() = default;

void PreparedDerivatives::prepare(const Model& model, const EvaluationClock& clock) {
  // Only the drivers and parameters: the rest of the record is written by
  // each call before it is read.
  copy_tables_in(model, *work_);
  held_count_ = 0;
  for (int i = 1; i <= state::kCount; ++i) {
    HoldConstant_[i] = model.states[i].HoldConstant;
    if (HoldConstant_[i]) held_positions_[static_cast<std::size_t>(held_count_++)] = i;
  }
  NewYear_ = model.NewYear;
  clock_ = clock;
  std::uint64_t marks = non_finite_mark(clock.time_step) | non_finite_mark(clock.start_time);
#define VINDREL_DRIVER(id, symbol, name, units) marks |= non_finite_mark(work_->id);
#include "core/model_definition.def"
#undef VINDREL_DRIVER
#define VINDREL_PARAMETER(id, symbol, name, units) marks |= non_finite_mark(work_->id);
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
  inputs_finite_ = marks_finite(marks);
}

void PreparedDerivatives::operator()(const StateVector& y, StateVector& dydt, double x) {
  clear_fault_flags();
  // The record keeps the prepared drivers and parameters, which no evaluation
  // writes; everything else it holds is written before it is read (see
  // evaluation_scratch), so a call starts from whatever the last one left.
  Evaluation& e = *work_;
  PreparedStates states{y, HoldConstant_, held_positions_, held_count_};
  const bool states_finite = copy_states_in(states, e);
  run_frame(NewYear_, clock_, states, x, e, false);
  raise_fault_flags();
  // Arithmetic on finite values gives finite values or raises a fault flag, so
  // a derivative that is not finite without a flag needs an input that is not
  // finite: the derivatives are searched only when there is one.
  if (!(inputs_finite_ && states_finite && std::isfinite(x)) && !derivatives_finite(e)) {
    refuse_non_finite();
  }
  copy_derivatives_out(e, dydt);
}

}  // namespace vindrel
