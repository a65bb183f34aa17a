// Soil organic matter: litter split by chemical quality into the soil carbon
// pools, the decomposition rate modifier, the carbon transfers and respiration
// of the soil, mineralisation, immobilisation and nitrification; then the
// ecosystem's totals, ratios and budget sums.
#include <cmath>

#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

// Adds one tissue's litter to the extractive and acid-soluble inputs. The
// richer the litter in nitrogen, the more of its carbon is extractive and
// acid soluble; what is left is acid insoluble. Litter without carbon adds
// nothing.
void add_litter_quality(double C, double N, double& extractive, double& acid_soluble) {
  if (C == 0.0) return;
  extractive += (0.49 - 0.452 * std::exp(-95.0 * N / C)) * C;
  acid_soluble += (0.4 + 0.39 * std::exp(-155.0 * N / C)) * C;
}

}  // namespace

void Evaluation::soil_organic_matter() {
  // Litter inputs by chemical quality, tissue by tissue.
  FClambdaE = 0.0;
  FClambdaS = 0.0;
  add_litter_quality(lambdaCF, lambdaNF, FClambdaE, FClambdaS);
  add_litter_quality(lambdaCSW, lambdaNSW, FClambdaE, FClambdaS);
  add_litter_quality(lambdaCHW, lambdaNHW, FClambdaE, FClambdaS);
  add_litter_quality(lambdaCR, lambdaNR, FClambdaE, FClambdaS);
  FClambdaI = lambdaCF + lambdaCSW + lambdaCHW + lambdaCR - FClambdaE - FClambdaS;
  // All litter nitrogen enters the active pool.
  FNlambdaA = lambdaNF + lambdaNSW + lambdaNHW + lambdaNR;

  // Decomposition slows away from the optimum available water (a skewed
  // parabola that stops at 0) and speeds up with soil temperature.
  const double x = Aw - Awdopt;  // departure from the optimum, fraction
  double water_factor = 1.0 - Power(x, 2.0) / (Power(Jdb, 2.0) * (1.0 + sigmaD * x));  // unitless
  if (water_factor < 0.0) water_factor = 0.0;
  rSm = Power(Q10D, Ts / 10.0) * water_factor;

  // Carbon transfers between the soil pools. What leaves the acid insoluble
  // pool is limited by the active nitrogen at the optimum humus C:N.
  FCSE = rSm * aSE * Cs;
  FCEI = rSm * aEI * Ce;
  FCIE = Min(rSm * aIE * Ci, rSm * aIE * Na * qI);
  FCIH = Min(rSm * aIH * Ci, rSm * aIH * Na * qI);
  // Respiration of the active pools (charged to the extractives) and of humus.
  RE = (FCSE + FCEI + FCIE) * beta;
  RH = rSm * aH * Ch;

  // Nitrogen: gross mineralisation of active and humus nitrogen (humus at the
  // humus respiration rate), humification at the optimum C:N.
  MNA = rSm * aA * Na;
  MNH = rSm * aH * Nh;
  FNAH = FCIH / qI;

  // Immobilisation runs while the active pool holds less nitrogen than the
  // acid insoluble carbon would at the optimum C:N, saturating in the
  // dissolved concentration.
  const double nitrogen_shortfall = Ci / qI - Na;  // g N m-2
  if (Ci / qI > Na) {
    INH4 = rSm * VINH4max * Nnh4aq * nitrogen_shortfall / (kINH4 + Nnh4aq);
    INO3 = rSm * VINO3max * Nno3aq * nitrogen_shortfall / (kINO3 + Nno3aq);
  } else {
    INH4 = 0.0;
    INO3 = 0.0;
  }
  Fntri = rSm * aNtri * Nnh4aq;
}

void Evaluation::ecosystem_totals() {
  // Pools, from the states as read at entry.
  Cw = wood_carbon();
  Nw = wood_nitrogen();
  CPT = Cf + Csw + Chw + Cr + Clfw + Clr;
  NPT = Nf + Nsw + Nhw + Nr + Nlf + Nlwr;
  CST = Cs + Ce + Ci + Ch;
  NST = Na + Nh;
  qPT = CPT / NPT;
  qST = CST / NST;
  NIT = Nnh4 + Nno3;
  CET = CPT + CST;
  NET = NPT + NST;  // organic nitrogen only
  qrs = Cr / Cf;

  // Respiration, production and litter.
  RF = RFmet + RFgr;
  RW = RWmet + RWgr;
  RR = RRmet + RRgr;
  Rp = RF + RW + RR + RUnfix;
  Rs = RE + RH;
  NPPf = Gcf;
  NPPw = Gcsw;
  NPPr = Gcr;
  NPP = Ps - Rp;
  NEP = NPP - Rs;
  lambdaC = lambdaCF + lambdaCSW + lambdaCHW + lambdaCR;
  lambdaN = lambdaNF + lambdaNSW + lambdaNHW + lambdaNR;

  // Nitrogen budget terms.
  Dn = DNH4 + DNO3;
  Mg = MNA + MNH;
  Id = INH4 + INO3;
  Nmin = MNA + MNH - INH4 - INO3;
  Qn = QNH4 + QNO3;
}

}  // namespace vindrel::equations
