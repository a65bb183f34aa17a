// The frame of one evaluation of the model's equations: copy drivers, states
// and parameters into named locals, apply the prescribed soil mineral nitrogen
// and the annual reset, run the groups of processes in their fixed order, make
// the once-per-step updates when asked, and store derivatives and processes by
// position. Arithmetic faults are detected from the floating-point status
// flags, which are cleared before and tested after the evaluation.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel {
namespace {

using equations::Evaluation;

// A driver value of exactly -1 prescribes nothing.
constexpr double kNotPrescribed = -1.0;

// A senescence start day of 999 means that senescence has not begun this year.
constexpr double kSenescenceNotStarted = 999.0;

// Length of the model's year for the annual reset, days.
constexpr std::int64_t kModelYear = 366;

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

void copy_in(const Model& model, const StateValues& states, Evaluation& e) {
#define VINDREL_DRIVER(id, symbol, name, units) e.id = model.drivers[driver::id].value;
#include "core/model_definition.def"
#undef VINDREL_DRIVER

#define VINDREL_STATE(id, symbol, name, units) e.id = states.value[state::id];
#include "core/model_definition.def"
#undef VINDREL_STATE

  // The parameter positions are the 1-based parameter-table entries.
#define VINDREL_PARAMETER(id, symbol, name, units) e.id = model.parameters[parameter::id].value;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
}

// A soil mineral nitrogen driver that is not -1 replaces the state, in the
// evaluation and in the given states.
void apply_prescribed_soil_nitrogen(Evaluation& e, StateValues& states) {
  if (e.DNnh4 != kNotPrescribed) {
    e.Nnh4 = e.DNnh4;
    states.value[state::Nnh4] = e.DNnh4;
  }
  if (e.DNno3 != kNotPrescribed) {
    e.Nno3 = e.DNno3;
    states.value[state::Nno3] = e.DNno3;
  }
}

// The clocks and running totals start again from 0 and the senescence start
// days from 999. Held states keep their stored values, but the evaluation
// sees 0 for every clock and total; it keeps seeing the start days read at
// entry.
void annual_reset(Evaluation& e, StateValues& states) {
  for (const YearlyState& yearly : kYearlyStates) {
    e.*yearly.local = 0.0;
    if (!states.HoldConstant[yearly.position]) states.value[yearly.position] = 0.0;
  }
  for (const int day : kSenescenceDays) {
    if (!states.HoldConstant[day]) states.value[day] = kSenescenceNotStarted;
  }
}

// The discrete once-per-step updates, written into the given states from the
// evaluation's locals. The senescence start days are written whatever their
// HoldConstant flags, and only on the day senescence begins.
void apply_end_of_step(const Evaluation& e, StateValues& states) {
  const auto update = [&states](int position, double value) {
    if (!states.HoldConstant[position]) states.value[position] = value;
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

  if (e.foliage_senescence_starts) states.value[state::Jdfs] = e.J1;
  if (e.wood_senescence_starts) states.value[state::Jdws] = e.J1;
  if (e.root_senescence_starts) states.value[state::Jdrs] = e.J1;
}

void store(Evaluation& e, const StateValues& states, ProcessValues& processes) {
  // A held state does not move, whatever its formula says.
#define VINDREL_STATE(id, symbol, name, units) \
  if (states.HoldConstant[state::id]) e.d##id##dt = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE

  // The phenology entries only carry parameters.
  e.FoliagePhenology = 0.0;
  e.WoodPhenology = 0.0;
  e.RootPhenology = 0.0;

#define VINDREL_STATE(id, symbol, name, units) processes[state::id] = e.d##id##dt;
#include "core/model_definition.def"
#undef VINDREL_STATE

#define VINDREL_PROCESS(id, symbol, name, units, group, parameters) processes[process::id] = e.id;
#include "core/model_definition.def"
#undef VINDREL_PROCESS
}

// Turns the floating-point status flags raised since they were cleared into
// the model's arithmetic faults. Underflow and inexact results are normal. An
// overflow is named before an invalid operation because the infinity it leaves
// behind is what usually makes the invalid operations that follow it. A value
// that is not finite without any flag can only come from an input that was
// not finite; it is refused as well, so that it never reaches the
// integrator's error test.
void raise_arithmetic_faults(const ProcessValues& processes) {
  if (std::fetestexcept(FE_DIVBYZERO)) throw EZeroDivide("Division by zero");
  if (std::fetestexcept(FE_OVERFLOW)) throw EInvalidOp("Floating point overflow");
  if (std::fetestexcept(FE_INVALID)) throw EInvalidOp("Invalid floating point operation");
  for (int i = 1; i <= process::kCount; ++i) {
    if (!std::isfinite(processes[i])) throw EInvalidOp("Invalid floating point operation");
  }
}

// One evaluation. Returns the NewYear flag as it stands afterwards: set by the
// end-of-step block, unchanged otherwise. Nothing of `model` is written, so
// that the integrator's evaluations provably leave the model alone.
bool evaluate(const Model& model, const EvaluationClock& clock, StateValues& states, double time,
              ProcessValues& processes, bool StepUpdate) {
  std::feclearexcept(FE_ALL_EXCEPT);

  Evaluation e;
  e.time = time;
  e.dt = clock.time_step;
  e.start_time = clock.start_time;
  e.StepUpdate = StepUpdate;

  copy_in(model, states, e);
  apply_prescribed_soil_nitrogen(e, states);
  if (model.NewYear || time == clock.start_time) annual_reset(e, states);

  // Only the end-of-step block computes rain, snow, interception and melt.
  e.Pptr = 0.0;
  e.PptI = 0.0;
  e.Ppts = 0.0;
  e.Ms = 0.0;

  e.climate_and_water_balance();
  e.solar_geometry();
  e.photosynthesis();
  e.drainage_and_discharge();
  e.soil_mineral_nitrogen();
  e.nitrogen_uptake();
  e.drought_litter();
  e.litterfall();
  e.growth();
  e.respiration_and_transport();
  e.soil_organic_matter();
  e.ecosystem_totals();

  bool NewYear = model.NewYear;
  if (StepUpdate) {
    // The model's year is 366 days long.
    NewYear = equations::Trunc(time) % kModelYear == 0;
    e.end_of_step();
    apply_end_of_step(e, states);
  }

  e.state_derivatives();
  store(e, states, processes);

  raise_arithmetic_faults(processes);
  return NewYear;
}

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
  model.NewYear = evaluate(model, clock, states, time, processes, StepUpdate);
}

void EvaluateEquations(Model& model, const EvaluationClock& clock, statearray& states, double time,
                       processarray& processes, bool StepUpdate) {
  StateValues values = state_values_of(states, state::kCount);
  ProcessValues results{};
  EvaluateEquations(model, clock, values, time, results, StepUpdate);
  // Reached only when the evaluation succeeded: a fault leaves the tables as
  // they were.
  for (int i = 1; i <= state::kCount; ++i) states[i].value = values.value[i];
  for (int i = 1; i <= process::kCount; ++i) processes[i].value = results[i];
}

void ComputeDerivatives(const Model& model, const EvaluationClock& clock, const StateVector& y,
                        StateVector& dydt, double x) {
  // A private copy of the states' values and flags: the overrides and the
  // annual reset of this evaluation stay in it.
  StateValues states = state_values_of(model.states, state::kCount);
  for (int i = 1; i <= state::kCount; ++i) states.value[i] = y[i - 1];
  ProcessValues processes{};
  evaluate(model, clock, states, x, processes, false);
  for (int i = 1; i <= state::kCount; ++i) dydt[i - 1] = processes[i];
}

}  // namespace vindrel
