// Litter: drought litter of foliage and roots with the nitrogen withdrawn at
// drought leaf fall, the seasonal litterfall of the four tissues inside their
// senescence windows, the nitrogen that goes with each litter flux, and the
// foliar nitrogen translocation that follows the foliage litter.
//
// Each of the eight litter fluxes may be prescribed by its driver; a driver
// value of exactly -1 prescribes nothing and leaves the flux to the model.
#include "core/model_constants.hpp"
#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

// Share of a pool C that can be shed, given its evergreen amount E and the
// exponent s: near 0 while C is small against E, tending to 1 as C grows past
// E, so that the evergreen part of a tissue stays on the plant.
double evergreen_factor(double C, double E, double s) {
  return 1.0 - E / Power(Power(C, s) + Power(E, s), 1.0 / s);
}

// 1 inside a litter season that opens on day `start` and lasts `length` days
// (the first day included, the end excluded), 0 outside it.
double litter_season(double day, double start, double length) {
  return (start <= day && day < start + length) ? 1.0 : 0.0;
}

}  // namespace

void Evaluation::drought_litter() {
  // Drought holds at or below the available-water threshold Awd; the litter
  // grows with the square of the shortfall.
  if (Aw <= Awd) {
    const double d = Awd - Aw;  // shortfall of available water, fraction
    lambdaCFD = Power(d, 2.0) * alambdaCFD * Cf;
    lambdaCRD = Power(d, 2.0) * alambdaCRD * Cr;
    lambdaNFD = (1.0 - atauD) * lambdaCFD * Nf / Cf;
    lambdaNRD = lambdaCRD * Nr / Cr;
    // The part of the drought foliage's nitrogen that the plant withdraws.
    tauND = atauD * lambdaCFD * Nf / Cf;
  } else {
    lambdaCFD = 0.0;
    lambdaCRD = 0.0;
    lambdaNFD = 0.0;
    lambdaNRD = 0.0;
    tauND = 0.0;
  }
}

void Evaluation::litterfall() {
  // Litter seasons open on the senescence start days (999 while senescence has
  // not begun this year) and last the tissue's senescence period.
  FFall = litter_season(Jday, Jdfs, DsensF);
  WFall = litter_season(Jday, Jdws, DsensW);
  RFall = litter_season(Jday, Jdrs, DsensR);

  Cw = wood_carbon();

  // Litter carbon. Sapwood and heartwood share one evergreen factor taken on
  // the total wood and divide the wood litter in proportion to their carbon.
  // A prescribed foliage or root litter replaces the whole flux, drought
  // litter included.
  if (is_prescribed(DlambdaCF)) {
    lambdaCF = DlambdaCF;
  } else {
    lambdaCF = evergreen_factor(Cf, Cfe, sigmaLambdaF) * FFall * alambdaF * Cf + lambdaCFD;
  }
  const bool wood_modelled = !is_prescribed(DlambdaCSW) || !is_prescribed(DlambdaCHW);
  const double wood_shed =  // unitless
      wood_modelled ? evergreen_factor(Cw, Cwe, sigmaLambdaW) : 0.0;
  if (is_prescribed(DlambdaCSW)) {
    lambdaCSW = DlambdaCSW;
  } else {
    lambdaCSW = wood_shed * WFall * alambdaW * (Csw / Cw) * Cw;
  }
  if (is_prescribed(DlambdaCHW)) {
    lambdaCHW = DlambdaCHW;
  } else {
    lambdaCHW = wood_shed * WFall * alambdaW * (Chw / Cw) * Cw;
  }
  if (is_prescribed(DlambdaCR)) {
    lambdaCR = DlambdaCR;
  } else {
    lambdaCR = evergreen_factor(Cr, Cre, sigmaLambdaR) * RFall * alambdaR * Cr + lambdaCRD;
  }

  // Litter nitrogen, from the litter carbon as finally chosen: a prescribed
  // carbon flux with a modelled nitrogen flux carries the tissue's current
  // N:C. Foliage keeps the fraction atau of its litter nitrogen (see tauN).
  if (is_prescribed(DlambdaNF)) {
    lambdaNF = DlambdaNF;
  } else {
    lambdaNF = (1.0 - atau) * lambdaCF * Nf / Cf + lambdaNFD;
  }
  if (is_prescribed(DlambdaNSW)) {
    lambdaNSW = DlambdaNSW;
  } else {
    lambdaNSW = lambdaCSW * Nsw / Csw;
  }
  // Without heartwood there is no heartwood litter nitrogen, prescribed or not.
  if (Chw == 0.0) {
    lambdaNHW = 0.0;
  } else if (is_prescribed(DlambdaNHW)) {
    lambdaNHW = DlambdaNHW;
  } else {
    lambdaNHW = lambdaCHW * Nhw / Chw;
  }
  if (is_prescribed(DlambdaNR)) {
    lambdaNR = DlambdaNR;
  } else {
    lambdaNR = lambdaCR * Nr / Cr + lambdaNRD;
  }

  // Nitrogen withdrawn from falling foliage into the labile wood-and-root pool.
  tauN = atau * lambdaCF * Nf / Cf + tauND;
}

}  // namespace vindrel::equations
