// One evaluation of the model's equations: every driver, state, parameter,
// process and derivative as a named local, so that each group of processes
// reads like its formulas (`LAI = Cf / mF;`). The frame copies the tables in,
// calls the groups in their fixed order and stores the results by position.
//
// Internal to the equations: callers use EvaluateEquations and ComputeDerivatives.
#pragma once

#include "equations/numeric.hpp"

namespace vindrel::equations {

struct Evaluation {
  // Drivers (units as in the model definition).
#define VINDREL_DRIVER(id, symbol, name, units) double id = 0.0;
#include "core/model_definition.def"
#undef VINDREL_DRIVER

  // States, as read at entry (after the sentinel overrides and any annual reset).
#define VINDREL_STATE(id, symbol, name, units) double id = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE

  // Parameters.
#define VINDREL_PARAMETER(id, symbol, name, units) double id = 0.0;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER

  // Processes (the soil temperature process is TsMean: Ts is the driver).
#define VINDREL_PROCESS(id, symbol, name, units, group, parameters) double id = 0.0;
#include "core/model_definition.def"
#undef VINDREL_PROCESS

  // State derivatives, dCfdt ... dJdrsdt (per day).
#define VINDREL_STATE(id, symbol, name, units) double d##id##dt = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE

  // The call's context.
  double time = 0.0;        // evaluation time, days
  double dt = 0.0;          // the run's time step, days
  double start_time = 0.0;  // the run's start time, days
  bool StepUpdate = false;  // true only after a completed integrator step

  // The groups of processes, called in this order by the frame.
  void climate_and_water_balance();  // a: Ta, LAI, Cswmax, Aw, PsiD, ET terms, gsw, ET
  void solar_geometry();             // b: declination, Hd
  void photosynthesis();             // c: gsC, Ps and its terms, deltaPs
  void drainage_and_discharge();     // d: DR, Qg
  void soil_mineral_nitrogen();      // e: aqueous and sorbed NH4 and NO3, leaching
  void nitrogen_uptake();            // f: HU, UNH4, UNO3, Un, qUn, Unfix, RUnfix
  void drought_litter();             // g: lambdaCFD, lambdaCRD, lambdaNFD, lambdaNRD, tauND
  void litterfall();                 // h: litter seasons and fluxes, tauN
  void growth();                     // i: growing seasons, growth, growth respiration
  void respiration_and_transport();  // j: maintenance respiration, shares, C:N, Tc, Tn
  void soil_organic_matter();        // k: litter partition, soil C and N fluxes
  void ecosystem_totals();           // l: totals and sums
  void state_derivatives();          // the 55 derivatives
};

}  // namespace vindrel::equations
