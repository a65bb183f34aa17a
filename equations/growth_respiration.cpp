// Plant growth and respiration: the growing-season switches, growth of each
// tissue in carbon and nitrogen drawn from the labile pools, growth
// respiration, maintenance respiration with its labile and structural shares,
// the tissue C:N ratios, the nitrogen freed by structural respiration, and the
// transport of labile carbon and nitrogen between shoot and root.
#include <cmath>

#include "equations/evaluation.hpp"
#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

// The labile pools relative to the structure they serve. Growth and transport
// both read them.
struct LabileRatios {
  double carbon_above;     // Clfw / (Cf + Csw), g C g-1 C
  double nitrogen_foliar;  // Nlf / Cf, g N g-1 C
  double nitrogen_below;   // Nlwr / (Csw + Cr), g N g-1 C
  double carbon_root;      // Clr / Cr, g C g-1 C
};

LabileRatios labile_ratios(const Evaluation& e) {
  return {e.Clfw / (e.Cf + e.Csw), e.Nlf / e.Cf, e.Nlwr / (e.Csw + e.Cr), e.Clr / e.Cr};
}

// 1 while the degree days lie between the season's bounds (both included).
double growing_season(double degree_days, double start, double stop) {
  return (start <= degree_days && degree_days <= stop) ? 1.0 : 0.0;
}

// Temperature response of respiration: 1 at the optimum TRopt, falling to 0 at
// the maximum TRmax and above.
double respiration_response(double T, double TRmax, double TRopt, double gammaR) {
  if (T >= TRmax) return 0.0;
  return Power((TRmax - T) / (TRmax - TRopt), (TRmax - TRopt) * gammaR) *
         std::exp((T - TRopt) * gammaR);
}

// Growth of one tissue in carbon (Gc) and nitrogen (Gn), g m-2 d-1: the
// season switch times the tissue's rate g (nitrogen at the C:N bG), weighted
// by the labile carbon and nitrogen ratios with the exponent epsilon. Growth
// needs both labile carbon and labile nitrogen at hand.
void tissue_growth(bool labile_at_hand, double season, double g, double bG, double C,
                   double carbon_ratio, double nitrogen_ratio, double epsilon, double& Gc,
                   double& Gn) {
  if (!labile_at_hand) {
    Gc = 0.0;
    Gn = 0.0;
    return;
  }
  Gc = season * g * C * carbon_ratio * Power(nitrogen_ratio, 1.0 - epsilon);
  Gn = season * (g / bG) * C * Power(carbon_ratio, 1.0 - epsilon) * nitrogen_ratio;
}

}  // namespace

void Evaluation::growth() {
  // The phenology entries only carry parameters.
  FoliagePhenology = 0.0;
  WoodPhenology = 0.0;
  RootPhenology = 0.0;

  // Foliage and wood follow the air degree days, roots the soil degree days.
  FGrow = growing_season(DDa, DDfstart, DDfstop);
  WGrow = growing_season(DDa, DDwstart, DDwstop);
  RGrow = growing_season(DDs, DDrstart, DDrstop);

  const LabileRatios ratio = labile_ratios(*this);

  // Growth needs both labile carbon and labile nitrogen at hand. The labile
  // carbon of foliage and wood is one pool; so is the labile nitrogen of wood
  // and roots.
  tissue_growth(Clfw > 0.0 && Nlf > 0.0, FGrow, gf, bGf, Cf, ratio.carbon_above,
                ratio.nitrogen_foliar, epsilonF, Gcf, Gnf);
  tissue_growth(Clfw > 0.0 && Nlwr > 0.0, WGrow, gw, bGw, Csw, ratio.carbon_above,
                ratio.nitrogen_below, epsilonW, Gcsw, Gnsw);
  tissue_growth(Clr > 0.0 && Nlwr > 0.0, RGrow, gr, bGr, Cr, ratio.carbon_root,
                ratio.nitrogen_below, epsilonR, Gcr, Gnr);

  // Tissue is never un-grown.
  if (Gcf < 0.0) Gcf = 0.0;
  if (Gcsw < 0.0) Gcsw = 0.0;
  if (Gcr < 0.0) Gcr = 0.0;
  if (Gnf < 0.0) Gnf = 0.0;
  if (Gnsw < 0.0) Gnsw = 0.0;
  if (Gnr < 0.0) Gnr = 0.0;

  // During the wood season, sapwood above its maximum turns into heartwood,
  // taking the sapwood's N:C with it.
  if (Csw >= Cswmax) {
    Gchw = WGrow * aGHW * (Csw - Cswmax);
  } else {
    Gchw = 0.0;
  }
  Gnhw = Gchw * Nsw / Csw;

  // Growth respiration, a fixed share of the carbon built.
  RFgr = rg * Gcf;
  RWgr = rg * Gcsw;
  RRgr = rg * Gcr;
}

void Evaluation::respiration_and_transport() {
  // Maintenance respiration follows tissue nitrogen, but never more nitrogen
  // than the tissue's minimum C:N allows. Foliage and wood respire at the air
  // temperature, roots at the soil temperature; HR keeps the soil response.
  HR = respiration_response(Ta, TRmax, TRopt, gammaR);
  if (Cf / Nf > qFmin) {
    RFmet = rm * HR * Nf;
  } else {
    RFmet = rm * HR * Cf / qFmin;
  }
  // Only sapwood respires; heartwood is dead tissue.
  if (Csw / Nsw > qWmin) {
    RWmet = rm * awr * HR * Nsw;
  } else {
    RWmet = rm * awr * HR * Csw / qWmin;
  }
  HR = respiration_response(Ts, TRmax, TRopt, gammaR);
  if (Cr / Nr > qRmin) {
    RRmet = rm * HR * Nr;
  } else {
    RRmet = rm * HR * Cr / qRmin;
  }

  // The share of maintenance respiration paid from labile carbon rises with
  // the labile pool; the rest is paid from the structural tissue. Foliage and
  // wood draw on the same labile pool.
  fRLF = 1.0 - std::exp(-sL * Clfw);
  fRLW = fRLF;
  fRLR = 1.0 - std::exp(-sL * Clr);
  RfmetL = RFmet * fRLF;
  RwmetL = RWmet * fRLW;
  RrmetL = RRmet * fRLR;
  RfmetS = (1.0 - fRLF) * RFmet;
  RwmetS = (1.0 - fRLW) * RWmet;
  RrmetS = (1.0 - fRLR) * RRmet;

  // Tissue C:N ratios.
  qF = Cf / Nf;
  qSW = Csw / Nsw;
  qHW = (Nhw != 0.0) ? Chw / Nhw : 0.0;
  qW = wood_carbon() / wood_nitrogen();
  qR = Cr / Nr;

  // Structural tissue respired away frees its nitrogen into the labile pools:
  // foliage into the foliar pool, sapwood and roots into the wood-and-root pool.
  tauRnf = RfmetS / qF;
  tauRnsw = RwmetS / qSW;
  tauRnr = RrmetS / qR;

  // Transport between shoot and root labile pools, driven by the difference of
  // their ratios weighted by the distribution parameters and scaled by the
  // canopy and the size of the wood. Positive Tc moves carbon down to the
  // roots; positive Tn moves nitrogen up to the foliage.
  const LabileRatios ratio = labile_ratios(*this);
  const double wood_size = Power(wood_carbon(), h2);  // (g C m-2)^h2
  Tc = aLC * Laieos * (ratio.carbon_above / bLC - ratio.carbon_root) / wood_size;
  Tn = aLN * Laieos * (ratio.nitrogen_below / bLN - ratio.nitrogen_foliar) / wood_size;
}

}  // namespace vindrel::equations
