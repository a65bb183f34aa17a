// Soil mineral nitrogen: each of the soil's ammonium and nitrate totals is
// split into a part dissolved in the root-zone water (a concentration) and a
// part sorbed on the soil, and each ion is lost with the water that drains
// from the root zone.
#include <cmath>

#include "equations/evaluation.hpp"

namespace vindrel::equations {
namespace {

// g N m-2 per (umol N L-1 times mm H2O): 14 g N per mol, 1 mm is 1 L m-2.
constexpr double kConcentrationToMass = 0.000014;

// The dissolved concentration A (umol N L-1) at which the dissolved amount
// c A plus the sorbed amount Smax A / (eta + A) equals the total N (g N m-2):
// the non-negative root of c A^2 + (c eta + Smax - N) A - N eta = 0. c is the
// mass of 1 umol N L-1 in the root-zone water (g N m-2 per umol N L-1), Smax
// the sorption capacity (g N m-2), eta the half-saturation concentration of
// sorption (umol N L-1).
double dissolved_concentration(double N, double c, double Smax, double eta) {
  const double B = (N - Smax) / c - eta;  // umol N L-1
  return 0.5 * (B + std::sqrt(B * B + 4.0 * eta * N / c));
}

}  // namespace

void Evaluation::soil_mineral_nitrogen() {
  const double c = kConcentrationToMass * Wr;  // g N m-2 per umol N L-1

  // Ammonium. The sorbed amount is what the dissolved part leaves of the total.
  Nnh4aq = dissolved_concentration(Nnh4, c, rhoS * z * Vnh4max, etaNH4);
  Nnh4s = Nnh4 - c * Nnh4aq;
  QNH4 = kConcentrationToMass * DR * Nnh4aq;

  // Nitrate, on the same soil (bulk density and depth of the ammonium process).
  Nno3aq = dissolved_concentration(Nno3, c, rhoS * z * Vno3max, etaNO3);
  Nno3s = Nno3 - c * Nno3aq;
  QNO3 = kConcentrationToMass * DR * Nno3aq;
}

}  // namespace vindrel::equations
