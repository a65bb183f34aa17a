// The canopy and the plant's acquisition of carbon and nitrogen: leaf area,
// the sapwood maximum, the canopy conductances to water vapour and to CO2,
// gross photosynthesis with its carbon-isotope signature, the temperature
// response of uptake, ammonium and nitrate uptake, the carbon cost of uptake,
// and symbiotic nitrogen fixation with its respiration.
#include <cmath>

#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

// Half-saturation CO2 concentration of carboxylation, ppm.
constexpr double kCarboxylationHalfSaturation = 995.4;

}  // namespace

void Evaluation::canopy_structure() {
  LAI = Cf / mF;
  // The sapwood a canopy needs grows with its leaf area and the size of the wood.
  Cswmax = h1 * Laieos * Power(wood_carbon(), h2);
}

void Evaluation::canopy_water_conductance() {
  // Canopy conductance to water vapour, m H2O day-1: grows with leaf area and
  // the soil water tension deficit, shrinks with the vapour pressure deficit.
  gsw = 0.3 * (0.1 + LAI) * PsiD * std::exp(-0.01464 * D);
}

void Evaluation::photosynthesis() {
  // Canopy conductance to CO2: the tension deficit against the soil's
  // hydraulic resistance and the day's temperature range.
  gsC = Power(std::abs(PsiD), 1.156) / (0.6 * omegaS + 0.5 * (Tamax - Tamin));

  // Capacity set by foliar nitrogen, damped as the labile carbon pool fills up.
  Pmax = std::exp(0.004 * Tamax) * 11.04 * aNf * Nf / (1.0 + Power(Clfw / Clfwmax, epsilsonPs));
  A = Pmax / gsC;
  E = 3.332 * Power(LAI, 2.0) / (Power(LAI, 2.0) + 1.549);

  // Internal CO2 at which diffusion through the stomata, gsC (Ca - Cint),
  // supplies what carboxylation, Pmax Cint / (995.4 + Cint), demands.
  const double b = Ca - kCarboxylationHalfSaturation - A;  // ppm
  Cint = (b + std::sqrt(Power(b, 2.0) + 4.0 * kCarboxylationHalfSaturation * Ca)) / 2.0;
  Pc = (Ca - Cint) * gsC;

  // CO2 and light together, then scaled by day length; no photosynthesis on
  // days that stay below freezing.
  Pd = Pc * E * II / (E * II + Pc);
  Ps = (0.216 + 0.03 * Hd) * Pd;
  if (Tamax <= 0.0) Ps = 0.0;

  deltaPs = (deltaCa - aDelta) - (bDelta - aDelta) * Cint / Ca;
}

void Evaluation::nitrogen_uptake() {
  // Temperature response of uptake (soil temperature): 1 at TUopt, 0 from
  // TUmax on.
  if (Ts >= TUmax) {
    HU = 0.0;
  } else {
    HU = std::exp(gammaU * (Ts - TUopt)) *
         Power((TUmax - Ts) / (TUmax - TUopt), gammaU * (TUmax - TUopt));
  }

  // Uptake of each ion: saturating in its dissolved concentration, scaled by
  // the root system, temperature and available water, and slowed as the
  // labile wood-and-root nitrogen pool fills up. Nitrate uses the root and
  // labile-nitrogen terms of ammonium.
  const double root_term = 1.0 - std::exp(-thetaU * Cr);                // unitless
  const double labile_brake = 1.0 + Power(Nlwr / Nlwrmax, epsilsonUn);  // unitless
  UNH4 = root_term * HU * Aw * UNH4max * Nnh4aq / (kNH4 + Nnh4aq) / labile_brake;
  UNO3 = root_term * HU * Aw * UNO3max * Nno3aq / (kNO3 + Nno3aq) / labile_brake;
  Un = UNH4 + UNO3;

  // Carbon cost of a gram of nitrogen taken up today, against the saturating
  // uptake capacities of the two ions alone.
  qUn = std::exp(thetaU * Cr - 0.5 * LAI) * gUn * II * Ca / (kCarboxylationHalfSaturation + Ca) /
        (UNH4max * Nnh4aq / (kNH4 + Nnh4aq) + UNO3max * Nno3aq / (kNO3 + Nno3aq));

  // Fixation pays off only while the running mean cost of uptake exceeds the
  // cost of fixing nitrogen.
  if (qUnT < qUnfix) {
    Unfix = 0.0;
  } else {
    Unfix =
        (1.0 - std::exp(-sL * Clr)) * HU * gNfix * Cr * (qUnT - qUnfix) / ((qUnT - qUnfix) + kNfix);
  }
  RUnfix = qUnfix * Unfix;
}

}  // namespace vindrel::equations
