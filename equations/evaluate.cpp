// The frame of one evaluation of the model's equations: copy drivers, states
// and parameters into named locals, apply the prescribed soil mineral nitrogen
// and the annual reset, run the equation groups in their fixed order, make
// the once-per-step updates when asked, and store derivatives and processes by
// position. Arithmetic faults are detected from the floating-point status
// flags, which are cleared before and tested after the evaluation.
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "equations/block_copy.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "equations/fault_flags.hpp"
#include "equations/state_access.hpp"
#include "equations/testing.hpp"

namespace vindrel {
namespace {

using namespace equations;

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

// The drivers and parameters of the model's tables.
void copy_tables_in(const Model& model, Evaluation& e) {
#define VINDREL_DRIVER(id, symbol, name, units) e.id = model.drivers[driver::id].value;
#include "core/model_definition.def"
#undef VINDREL_DRIVER

  // The parameter positions are the 1-based parameter-table entries.
#define VINDREL_PARAMETER(id, symbol, name, units) e.id = model.parameters[parameter::id].value;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
}

// The derivatives, out into the integrator's vector.
void copy_derivatives_out(const Evaluation& e, StateVector& dydt) {
  copy_block<kStatesSize>(reinterpret_cast<unsigned char*>(dydt.data()),
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

void store(const Evaluation& e, ProcessValues& processes) {
#define VINDREL_STATE(id, symbol, name, units) processes[state::id] = e.d##id##dt;
#include "core/model_definition.def"
#undef VINDREL_STATE

#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) processes[process::id] = e.id;
#include "core/model_definition.def"
#undef VINDREL_PROCESS
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
  return marks_finite(block_marks(reinterpret_cast<const unsigned char*>(&e) + begin, count));
}

// True when every derivative and every process value is finite.
bool all_results_finite(const Evaluation& e) {
  return block_finite(e, kResultsBegin, process::kCount);
}

// True when every derivative is finite: all that the integrator is given.
bool derivatives_finite(const Evaluation& e) {
  return block_finite(e, kDerivativesBegin, state::kCount);
}

// The frame of one evaluation in `e`, whose drivers, parameters and states
// are filled in: the prescribed soil nitrogen, the annual reset, the equation groups,
// the end-of-step block, the derivatives. Every derivative and process is left
// in `e`; faults are not tested. Returns the NewYear flag as it stands
// afterwards: set by the end-of-step block, `NewYear` otherwise. With
// `groups_done` the equation groups are not evaluated again: `e` holds them
// from an evaluation of the same drivers, parameters, states, time and NewYear
// (they read neither StepUpdate nor what the end-of-step block computes).
template <class States>
bool run_frame(bool NewYear, const EvaluationClock& clock, States& states, double time,
               Evaluation& e, bool StepUpdate, bool groups_done = false) {
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

  if (!groups_done) e.equation_groups();

  if (StepUpdate) {
    NewYear = ends_model_year(time);
    e.end_of_step();
    apply_end_of_step(e, states);
  }

  e.state_derivatives();
  states.zero_held_derivatives(e);
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
  states.copy_in(e);
  const bool NewYear = run_frame(model.NewYear, clock, states, time, e, StepUpdate);
  throw_raised_faults();
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
  clock_ = clock;
  std::uint64_t marks = non_finite_mark(clock.time_step) | non_finite_mark(clock.start_time);
#define VINDREL_PARAMETER(id, symbol, name, units) marks |= non_finite_mark(work_->id);
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
  fixed_inputs_finite_ = marks_finite(marks);
  prepare_drivers(model);
}

void PreparedDerivatives::prepare_drivers(const Model& model) {
  Evaluation& e = *work_;
  std::uint64_t marks = 0;
#define VINDREL_DRIVER(id, symbol, name, units) \
  e.id = model.drivers[driver::id].value;       \
  marks |= non_finite_mark(e.id);
#include "core/model_definition.def"
#undef VINDREL_DRIVER
  inputs_finite_ = fixed_inputs_finite_ && marks_finite(marks);
  NewYear_ = model.NewYear;
  has_faulted_ = false;
  last_call_complete_ = false;
}

bool PreparedDerivatives::step_end(StateVector& y, bool NewYear, double time,
                                   ProcessValues& processes, bool y_is_last_call) {
  // The last call's equation groups serve when it completed at these states,
  // this time and this NewYear flag: the integrator that says so ends its
  // time step with the derivatives at its final state (its last stage is
  // taken there), and an end-of-step evaluation differs from a derivative
  // call only after the groups.
  const bool groups_done =
      y_is_last_call && last_call_complete_ && last_call_time_ == time && NewYear == NewYear_;
  // The evaluation writes its state updates into a copy, which y takes only
  // when the evaluation succeeded.
  StateVector updated = y;
  VectorStates states{updated, HoldConstant_};
  Evaluation& e = *work_;
  last_call_complete_ = false;
  clear_fault_flags();
  states.copy_in(e);
  const bool NewYearAfter = run_frame(NewYear, clock_, states, time, e, true, groups_done);
  throw_raised_faults();
  if (!all_results_finite(e)) refuse_non_finite();
  y = updated;
  store(e, processes);
  return NewYearAfter;
}

void PreparedDerivatives::operator()(const StateVector& y, StateVector& dydt, double x) {
  last_call_complete_ = false;
  clear_fault_flags();
  // The record keeps the prepared drivers and parameters, which no evaluation
  // writes; everything else it holds is written before it is read (see
  // evaluation_scratch), so a call starts from whatever the last one left.
  Evaluation& e = *work_;
  PreparedStates states{y, HoldConstant_, held_positions_, held_count_};
  const bool states_finite = states.copy_in(e);
  run_frame(NewYear_, clock_, states, x, e, false);
  if (raised_fault_flags() != 0) keep_fault_and_throw(y, x, true);
  // Arithmetic on finite values gives finite values or raises a fault flag, so
  // a derivative that is not finite without a flag needs an input that is not
  // finite: the derivatives are searched only when there is one.
  if (!(inputs_finite_ && states_finite && std::isfinite(x)) && !derivatives_finite(e)) {
    keep_fault_and_throw(y, x, false);
  }
  copy_derivatives_out(e, dydt);
  last_call_complete_ = true;
  last_call_time_ = x;
}

void PreparedDerivatives::keep_fault_and_throw(const StateVector& y, double x, bool flags_raised) {
  has_faulted_ = true;
  faulted_states_ = y;
  faulted_time_ = x;
  if (flags_raised) throw_raised_faults();
  refuse_non_finite();
}

namespace {

// The equation groups in the order of Evaluation::equation_groups().
struct EquationGroup {
  std::string_view name;
  void (Evaluation::*compute)();
};

constexpr EquationGroup kEquationGroups[] = {
    {"climate and water balance (group a)", &Evaluation::climate_and_water_balance},
    {"solar geometry (group b)", &Evaluation::solar_geometry},
    {"photosynthesis (group c)", &Evaluation::photosynthesis},
    {"drainage and discharge (group d)", &Evaluation::drainage_and_discharge},
    {"soil mineral nitrogen (group e)", &Evaluation::soil_mineral_nitrogen},
    {"nitrogen uptake (group f)", &Evaluation::nitrogen_uptake},
    {"drought litter (group g)", &Evaluation::drought_litter},
    {"litterfall (group h)", &Evaluation::litterfall},
    {"growth (group i)", &Evaluation::growth},
    {"respiration and transport (group j)", &Evaluation::respiration_and_transport},
    {"soil organic matter (group k)", &Evaluation::soil_organic_matter},
    {"ecosystem totals (group l)", &Evaluation::ecosystem_totals},
};

}  // namespace

std::string faulting_equation_group(const Model& model, const EvaluationClock& clock,
                                    const StateVector& y, double time, bool StepUpdate) {
  // A value that is not a number makes invalid operations wherever it goes;
  // the input it came from says more than the first group it reaches.
  for (int i = 1; i <= model.ModelInfo.DriverCount; ++i) {
    if (!std::isfinite(model.drivers[i].value)) {
      return "none (driver " + model.drivers[i].symbol + " is not a finite number)";
    }
  }
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    if (!std::isfinite(y[static_cast<std::size_t>(i - 1)])) {
      return "none (state " + model.states[i].symbol + " is not a finite number)";
    }
  }
  for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) {
    if (!std::isfinite(model.parameters[i].value)) {
      return "none (parameter " + model.parameters[i].symbol + " is not a finite number)";
    }
  }

  // The steps of run_frame, one at a time, on a record of its own.
  auto record = std::make_unique<Evaluation>();
  Evaluation& e = *record;
  PrivateStates states{y, model.states};
  std::feclearexcept(FE_ALL_EXCEPT);
  copy_tables_in(model, e);
  states.copy_in(e);
  e.time = time;
  e.dt = clock.time_step;
  e.start_time = clock.start_time;
  e.StepUpdate = StepUpdate;
  apply_prescribed_soil_nitrogen(e, states);
  if (model.NewYear || time == clock.start_time) annual_reset(e, states);
  e.Pptr = 0.0;
  e.PptI = 0.0;
  e.Ppts = 0.0;
  e.Ms = 0.0;
  if (raised_fault_flags() != 0) return "the inputs of the evaluation";
  for (const EquationGroup& group : kEquationGroups) {
    (e.*group.compute)();
    if (raised_fault_flags() != 0) return std::string(group.name);
  }
  if (StepUpdate) {
    e.end_of_step();
    apply_end_of_step(e, states);
    if (raised_fault_flags() != 0) return "the end-of-step updates";
  }
  e.state_derivatives();
  if (raised_fault_flags() != 0) return "the state derivatives";
  return {};
}

}  // namespace vindrel
