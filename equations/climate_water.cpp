// Climate and water: mean air and soil temperature, available soil water and
// its tension deficit, evapotranspiration, day length, drainage and groundwater
// discharge in every evaluation; and, once per step, the day-of-year and
// degree-day clocks, the end-of-season leaf area, the senescence start days,
// the split of precipitation into rain and snow, interception and snowmelt.
#include <cmath>
#include <numbers>

#include "core/model_constants.hpp"
#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

constexpr double kPi = std::numbers::pi;

// Axial tilt of the earth, 23.454 degrees, in radians.
constexpr double kMaximumDeclination = 0.40934952276275006;

}  // namespace

void Evaluation::climate_and_water_balance() {
  Ta = (Tamax + Tamin) / 2.0;
  // Every equation that needs soil temperature reads the driver itself.
  TsMean = Ts;

  canopy_structure();  // LAI, Cswmax

  // Available water: 0 below the wilting point, 1 at field capacity and above
  // 1 beyond it.
  if (Wr < Ww) {
    Aw = 0.0;
  } else {
    Aw = (Wr - Ww) / (Wf - Ww);
  }

  // Tension deficit: the same above field capacity as at it, and kept
  // positive so that the canopy conductance never vanishes.
  if (Aw > 1.0) {
    PsiD = Psif - Psiw;
  } else {
    PsiD = -Psiw * (1.0 - Power(Psif / Psiw, Aw));
  }
  if (PsiD <= 0.0) PsiD = 0.001;

  // Atmospheric terms of evapotranspiration.
  G = 0.646 * std::exp(0.00097 * Tamax);
  Rho = 353.0 / (273.2 + Tamax);
  // The saturation term of the day's highest temperature serves S and D.
  const double saturation_max = std::exp(17.269 * Tamax / (237.3 + Tamax));  // unitless
  S = 25029.0 * saturation_max / Power(237.3 + Tamax, 2.0);
  D = 6.1078 * (saturation_max - std::exp(17.269 * Tamin / (237.3 + Tamin)));
  L = 2.501 - 0.00237 * Tamax;

  canopy_water_conductance();  // gsw

  // Evapotranspiration, a combination of radiation and vapour pressure
  // deficit, mm H2O day-1.
  ET = (580.0 * S * II * (1.0 - alphaT) + 0.000051 * Rho * 1012.0 * D * gAW) /
       (L * (S + G * (1.0 + gAW / gsw)));
}

void Evaluation::solar_geometry() {
  Phi = kPi * Deltad / 180.0;
  Dec = kMaximumDeclination * std::cos(2.0 * kPi * (Jday - 171.25) / 365.25);

  // Beyond the polar circles the sun may not set or not rise. (Each tangent
  // is taken once: -tan(Phi) tan(Dec) is -tangents to the bit.)
  const double tangents = std::tan(Dec) * std::tan(Phi);  // unitless
  if (tangents < -1.0) {
    Hd = 0.0;
  } else if (tangents > 1.0) {
    Hd = 24.0;
  } else {
    Hd = 24.0 * ArcCos(-tangents) / kPi;
  }
}

void Evaluation::drainage_and_discharge() {
  // Water above field capacity drains to groundwater, but not from frozen soil.
  if (Wr > Wf && Ts > 0.0) {
    DR = (Wr - Wf) * alphaD;
  } else {
    DR = 0.0;
  }
  Qg = alphaQ * Wg;
}

void Evaluation::end_of_step() {
  // Clocks: the day advances by one per day; degree days count from Jddstart,
  // above 0 oC only.
  day_increment = 1.0 * dt;
  if (Jday >= Jddstart) {
    air_degree_day_increment = Ta > 0.0 ? Ta * dt : 0.0;
    soil_degree_day_increment = Ts > 0.0 ? Ts * dt : 0.0;
  } else {
    air_degree_day_increment = 0.0;
    soil_degree_day_increment = 0.0;
  }

  // End-of-season leaf area: from full canopy until foliage senescence begins
  // it follows the leaf area; afterwards it holds what was reached.
  Laieos_captured = Laieos;
  if (DDa == DDfstop) Laieos_captured = 0.0;
  if (DDa >= DDfstop && Jday < Jdfs) Laieos_captured = LAI;

  // Senescence begins on the first day from JlambdaStart on that is at or
  // below the tissue's critical temperature (soil temperature for roots).
  J1 = Jday + dt;
  foliage_senescence_starts = J1 >= JlambdaStart && Jdfs == kSenescenceNotStarted && Ta <= TacrF;
  wood_senescence_starts = J1 >= JlambdaStart && Jdws == kSenescenceNotStarted && Ta <= TacrW;
  root_senescence_starts = J1 >= JlambdaStart && Jdrs == kSenescenceNotStarted && Ts <= TacrR;

  // Precipitation falls as snow below Tas; the canopy intercepts rain only,
  // never more than falls.
  if (Ta < Tas) {
    Pptr = 0.0;
    Ppts = Ppt;
    PptI = 0.0;
  } else {
    Pptr = Ppt;
    Ppts = 0.0;
    PptI = bIsw * Csw + bIf * LAI;
    if (PptI > Pptr) PptI = Pptr;
  }

  // Snowmelt from net radiation at the snow surface and from warm air, never
  // more than the snowpack holds. Melt is a rate applied over the step, so a
  // step longer than a day melts at most the snowpack over the whole step:
  // the pack empties instead of turning negative and making water.
  Q0 = 117.5 * (std::sin(kPi * Hd / 24.0) * std::cos(Phi) / kPi +
                std::sin(Phi) * std::sin(Dec) * Hd / 24.0);
  if (Q0 != 0.0) {
    Fs = ((II / Q0) - 0.23) / 0.48;
  } else {
    Fs = 0.0;
  }
  TaK = Ta + 273.15;
  TsnK = Ta > 2.5 ? 273.15 : TaK - 2.5;
  Fc = 0.9 * Fs + 0.1;
  Rn = std::exp(-gammat * rhot) * II * (1.0 - alphas) +
       4.9e-9 * ((0.76 * Power(TaK, 4.0) - Power(TsnK, 4.0)) * Fc * (1.0 - rhot) +
                 (Power(TaK, 4.0) - Power(TsnK, 4.0)) * rhot);
  Ms = 0.0;
  if (Rn > 0.0) Ms += 2.99 * Rn;
  if (Ta > 0.0) Ms += 2.0 * Ta;
  if (Ms > Ws) Ms = Ws;
  if (dt > 1.0 && Ms * dt > Ws) Ms = Ws / dt;
}

}  // namespace vindrel::equations
