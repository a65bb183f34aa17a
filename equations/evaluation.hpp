// One evaluation of the model's equations: every driver, state, parameter,
// process and derivative as a named local, so that each equation group reads
// like its formulas (`LAI = Cf / mF;`). The frame copies the tables in, calls
// the equation groups in their fixed order and stores the results by position.
// (An equation group is a step of the evaluation; a process's family is the
// colour of its page in the parameter editor. The two are unrelated.)
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
#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) double id = 0.0;
#include "core/model_definition.def"
#undef VINDREL_PROCESS

  // State derivatives, dCfdt ... dJdrsdt (per day).
#define VINDREL_STATE(id, symbol, name, units) double d##id##dt = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE

  // Terms of the climate, canopy and uptake equation groups: intermediate
  // values that have no process slot, kept for the equation groups that follow
  // and for inspection.
  // Evapotranspiration (equation group a).
  double G = 0.0;    // psychrometric term, mbar oC-1
  double Rho = 0.0;  // air density term, kg m-3
  double S = 0.0;    // slope of the saturation vapour pressure curve at Tamax, mbar oC-1
  double D = 0.0;    // vapour pressure deficit, mbar
  double L = 0.0;    // latent heat of vaporisation, MJ kg-1
  // Solar geometry (equation group b).
  double Phi = 0.0;  // latitude, radians
  double Dec = 0.0;  // solar declination, radians
  // Photosynthesis (equation group c).
  double Pmax = 0.0;  // carbon-limited photosynthetic capacity, g C m-2 day-1
  double A = 0.0;     // Pmax / gsC, ppm
  double E = 0.0;     // light-capture factor of the canopy, g C MJ-1
  double Cint = 0.0;  // internal CO2 concentration, ppm
  double Pc = 0.0;    // CO2-limited photosynthesis, g C m-2 day-1
  double Pd = 0.0;    // photosynthesis limited by CO2 and light, g C m-2 day-1
  // End-of-step block (only with StepUpdate).
  double day_increment = 0.0;              // days
  double air_degree_day_increment = 0.0;   // oC day
  double soil_degree_day_increment = 0.0;  // oC day
  double Laieos_captured = 0.0;            // end-of-season leaf area, m2 leaf m-2 ground
  double J1 = 0.0;                         // the day after this step, day of year
  bool foliage_senescence_starts = false;  // Jdfs becomes J1
  bool wood_senescence_starts = false;     // Jdws becomes J1
  bool root_senescence_starts = false;     // Jdrs becomes J1
  // Snowmelt (end-of-step block).
  double Q0 = 0.0;    // potential daily shortwave radiation, MJ m-2 day-1
  double Fs = 0.0;    // relative sunshine, fraction
  double Fc = 0.0;    // cloud factor of long-wave radiation, fraction
  double TaK = 0.0;   // air temperature, K
  double TsnK = 0.0;  // snow surface temperature, K
  double Rn = 0.0;    // net radiation at the snow surface, MJ m-2 day-1

  // The call's context.
  double time = 0.0;        // evaluation time, days
  double dt = 0.0;          // the run's time step, days
  double start_time = 0.0;  // the run's start time, days
  bool StepUpdate = false;  // true only after a completed integrator step

  // Wood: sapwood and heartwood together.
  double wood_carbon() const { return Csw + Chw; }    // g C m-2 ground
  double wood_nitrogen() const { return Nsw + Nhw; }  // g N m-2 ground

  // Every equation group, a to l, in its fixed order.
  void equation_groups();

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
  void end_of_step();                // once per step: clocks, Laieos, senescence, rain, snow
  void state_derivatives();          // the 55 derivatives

  // Parts of equation group a that describe the canopy.
  void canopy_structure();          // LAI, Cswmax
  void canopy_water_conductance();  // gsw
};

// faulting_equation_group (evaluate.cpp) calls the groups one by one in this
// order too.
inline void Evaluation::equation_groups() {
  climate_and_water_balance();
  solar_geometry();
  photosynthesis();
  drainage_and_discharge();
  soil_mineral_nitrogen();
  nitrogen_uptake();
  drought_litter();
  litterfall();
  growth();
  respiration_and_transport();
  soil_organic_matter();
  ecosystem_totals();
}

}  // namespace vindrel::equations
