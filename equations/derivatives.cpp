// Time derivatives of the 55 states, per day, from the processes of this
// evaluation. The states that only the end-of-step block advances (snowpack,
// clocks, end-of-season leaf area, senescence start days, precipitation,
// interception and deposition totals) have derivative 0; the root-zone water
// and the water-loss total have a continuous part here and a once-per-step
// part there. The frame sets the derivative of a held state to 0.
#include "equations/evaluation.hpp"

namespace vindrel::equations {

void Evaluation::state_derivatives() {
  // Structural carbon: growth in, litter and the structural share of
  // maintenance respiration out; sapwood turns into heartwood.
  dCfdt = Gcf - lambdaCF - RfmetS;
  dCswdt = Gcsw - lambdaCSW - Gchw - RwmetS;
  dChwdt = Gchw - lambdaCHW;
  dCrdt = Gcr - lambdaCR - RrmetS;

  // Structural nitrogen: growth in, litter and translocation out.
  dNfdt = Gnf - lambdaNF - tauN - tauRnf;
  dNswdt = Gnsw - Gnhw - lambdaNSW - tauRnsw;
  dNhwdt = Gnhw - lambdaNHW;
  dNrdt = Gnr - lambdaNR - tauRnr;

  // Labile carbon: photosynthesis feeds the foliage-and-wood pool, which pays
  // for shoot growth and respiration and sends carbon down to the roots.
  dClfwdt = Ps - Tc - RfmetL - RwmetL - RFgr - RWgr - Gcf - Gcsw;
  dClrdt = Tc - RrmetL - RRgr - Gcr - RUnfix;

  // Labile nitrogen: uptake, fixation and translocation feed the wood-and-root
  // pool, which sends nitrogen up to the foliar pool.
  dNlfdt = Tn + tauRnf - Gnf;
  dNlwrdt = Un + Unfix + tauN + tauRnsw + tauRnr - Tn - Gnsw - Gnr;

  // Soil organic carbon and nitrogen.
  dCsdt = FClambdaS - FCSE;
  dCedt = FClambdaE + FCSE + FCIE - RE - FCEI;
  dCidt = FClambdaI + FCEI - FCIE - FCIH;
  dChdt = FCIH - RH;
  dNadt = FNlambdaA + INH4 + INO3 - FNAH - MNA;
  dNhdt = FNAH - MNH;

  // Soil mineral nitrogen: deposition and mineralisation in; immobilisation,
  // uptake, nitrification and leaching out.
  dNnh4dt = DNH4 + MNA + MNH - INH4 - UNH4 - Fntri - QNH4;
  dNno3dt = DNO3 + Fntri - UNO3 - INO3 - QNO3;

  // Water: rain, interception and snowmelt arrive once per step.
  dWrdt = -ET - DR;
  dWgdt = DR - Qg;
  dWsdt = 0.0;

  dLaieosdt = 0.0;
  dJdaydt = 0.0;
  dDDadt = 0.0;
  dDDsdt = 0.0;

  // Running mean of the uptake cost, with a time constant of a year.
  dqUnTdt = (qUn - qUnT) / 365.0;

  // Running yearly totals.
  dPptTdt = 0.0;
  dPptITdt = 0.0;
  dEtTdt = ET;
  dQgTdt = Qg;
  dQwTdt = ET + Qg;  // interception is added once per step
  dDnTdt = 0.0;
  dPSTdt = Ps;
  dNPPTdt = NPP;
  dtauNTdt = tauN;
  dRPTdt = Rp;
  dlambdaCfTdt = lambdaCF;
  dlambdaCwTdt = lambdaCSW + lambdaCHW;
  dlambdaCrTdt = lambdaCR;
  dlambdaNfTdt = lambdaNF;
  dlambdaNwTdt = lambdaNSW + lambdaNHW;
  dlambdaNrTdt = lambdaNR;
  dlambdaCTdt = lambdaC;
  dlambdaNTdt = lambdaN;
  dRSTdt = Rs;
  dNepTdt = NEP;
  dUNTdt = Un;
  dUnfixTdt = Unfix;
  dNminTdt = Nmin;
  dQNTdt = Qn;

  // Senescence start days are set once per step.
  dJdfsdt = 0.0;
  dJdwsdt = 0.0;
  dJdrsdt = 0.0;
}

}  // namespace vindrel::equations
