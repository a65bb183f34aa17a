// A plausible temperate deciduous hardwood stand near 42.5 degrees north on a
// warm July day: drivers, states and every parameter of the model. The values
// are chosen to be realistic in size and to keep every formula of the model
// inside its domain; they are not a calibration. Tests and benchmarks start
// from it and change what they examine.
#pragma once

#include "core/model.hpp"
#include "core/positions.hpp"

namespace vindrel::support {

inline void fill_temperate_forest_drivers(Model& model) {
  auto set = [&model](int position, double value) { model.drivers[position].value = value; };
  set(driver::Ca, 370.0);     // ppm
  set(driver::Tamax, 26.6);   // oC
  set(driver::Tamin, 15.5);   // oC
  set(driver::Ts, 22.0);      // oC
  set(driver::Ppt, 3.6);      // mm H2O day-1
  set(driver::II, 20.5);      // MJ m-2 day-1
  set(driver::DNH4, 0.001);   // g N m-2 day-1
  set(driver::DNO3, 0.0011);  // g N m-2 day-1
  // Litterfall and soil mineral nitrogen are left to the model.
  for (int position : {driver::DlambdaCF, driver::DlambdaCSW, driver::DlambdaCHW, driver::DlambdaCR,
                       driver::DlambdaNF, driver::DlambdaNSW, driver::DlambdaNHW, driver::DlambdaNR,
                       driver::DNnh4, driver::DNno3}) {
    set(position, -1.0);
  }
}

inline void fill_temperate_forest_states(Model& model) {
  auto set = [&model](int position, double value) { model.states[position].value = value; };
  // Plant structure (g C or g N m-2 ground).
  set(state::Cf, 150.0);
  set(state::Csw, 3000.0);
  set(state::Chw, 8000.0);
  set(state::Cr, 250.0);
  set(state::Nf, 6.8);
  set(state::Nsw, 60.0);
  set(state::Nhw, 20.0);
  set(state::Nr, 6.0);
  // Labile pools.
  set(state::Clfw, 200.0);
  set(state::Clr, 50.0);
  set(state::Nlf, 1.0);
  set(state::Nlwr, 5.0);
  // Soil organic matter and mineral nitrogen.
  set(state::Cs, 1500.0);
  set(state::Ce, 1000.0);
  set(state::Ci, 3000.0);
  set(state::Ch, 5000.0);
  set(state::Na, 120.0);
  set(state::Nh, 300.0);
  set(state::Nnh4, 1.0);
  set(state::Nno3, 0.3);
  // Water (mm H2O), leaf area and clocks in mid July.
  set(state::Wr, 150.0);
  set(state::Wg, 100.0);
  set(state::Ws, 0.0);
  set(state::Laieos, 5.0);
  set(state::Jday, 200.0);
  set(state::DDa, 1500.0);
  set(state::DDs, 1400.0);
  set(state::qUnT, 8.0);
  // Running totals since the start of the year.
  set(state::PptT, 600.0);
  set(state::PptIT, 60.0);
  set(state::EtT, 250.0);
  set(state::QgT, 150.0);
  set(state::QwT, 460.0);
  set(state::DnT, 0.4);
  set(state::PST, 500.0);
  set(state::NPPT, 250.0);
  set(state::tauNT, 0.5);
  set(state::RPT, 250.0);
  set(state::lambdaCfT, 5.0);
  set(state::lambdaCwT, 5.0);
  set(state::lambdaCrT, 20.0);
  set(state::lambdaNfT, 0.1);
  set(state::lambdaNwT, 0.05);
  set(state::lambdaNrT, 0.5);
  set(state::lambdaCT, 30.0);
  set(state::lambdaNT, 0.65);
  set(state::RST, 300.0);
  set(state::NepT, 50.0);
  set(state::UNT, 4.0);
  set(state::UnfixT, 0.01);
  set(state::NminT, 4.0);
  set(state::QNT, 0.2);
  // Senescence has not begun this year.
  set(state::Jdfs, 999.0);
  set(state::Jdws, 999.0);
  set(state::Jdrs, 999.0);
}

inline void fill_temperate_forest_parameters(Model& model) {
  auto set = [&model](int position, double value) { model.parameters[position].value = value; };
  // Climate and water.
  set(parameter::Deltad, 42.5);
  set(parameter::Tas, 0.0);
  set(parameter::bIf, 0.1);
  set(parameter::bIsw, 0.00005);
  set(parameter::Ww, 60.0);
  set(parameter::Wf, 180.0);
  set(parameter::Psiw, -1.5);
  set(parameter::Psif, -0.033);
  set(parameter::alphaT, 0.15);
  set(parameter::gAW, 6000.0);
  set(parameter::rhot, 0.6);
  set(parameter::alphas, 0.6);
  set(parameter::gammat, 1.0);
  set(parameter::alphaD, 0.1);
  set(parameter::alphaQ, 0.03);
  // Soil mineral nitrogen.
  set(parameter::rhoS, 1.3e6);
  set(parameter::z, 0.5);
  set(parameter::Vnh4max, 1e-6);
  set(parameter::etaNH4, 50.0);
  set(parameter::Vno3max, 1e-7);
  set(parameter::etaNO3, 50.0);
  // Canopy and photosynthesis.
  set(parameter::h1, 6.0);
  set(parameter::h2, 0.5);
  set(parameter::omegaS, 1.0);
  set(parameter::mF, 30.0);
  set(parameter::aNf, 1.5);
  set(parameter::Clfwmax, 400.0);
  set(parameter::epsilsonPs, 1.0);
  set(parameter::deltaCa, -8.0);
  set(parameter::aDelta, 4.4);
  set(parameter::bDelta, 27.0);
  set(parameter::atau, 0.5);
  // Uptake and fixation.
  set(parameter::TUmax, 45.0);
  set(parameter::TUopt, 30.0);
  set(parameter::gammaU, 0.1);
  set(parameter::UNH4max, 0.15);
  set(parameter::kNH4, 100.0);
  set(parameter::thetaU, 0.01);
  set(parameter::Nlwrmax, 10.0);
  set(parameter::epsilsonUn, 2.0);
  set(parameter::UNO3max, 0.1);
  set(parameter::kNO3, 100.0);
  set(parameter::gUn, 0.15);
  set(parameter::qUnfix, 12.0);
  set(parameter::gNfix, 0.0001);
  set(parameter::kNfix, 2.0);
  // Respiration and transport.
  set(parameter::TRmax, 45.0);
  set(parameter::TRopt, 35.0);
  set(parameter::gammaR, 0.1);
  set(parameter::rm, 0.04);
  set(parameter::qFmin, 15.0);
  set(parameter::awr, 0.5);
  set(parameter::qWmin, 30.0);
  set(parameter::qRmin, 20.0);
  set(parameter::rg, 0.25);
  set(parameter::sL, 0.01);
  set(parameter::aLC, 500.0);
  set(parameter::bLC, 0.3);
  set(parameter::aLN, 500.0);
  set(parameter::bLN, 0.25);
  // Phenology.
  set(parameter::Jddstart, 60.0);
  set(parameter::DDfstart, 100.0);
  set(parameter::DDfstop, 500.0);
  set(parameter::JlambdaStart, 240.0);
  set(parameter::TacrF, 10.0);
  set(parameter::DsensF, 30.0);
  set(parameter::DDwstart, 100.0);
  set(parameter::DDwstop, 1800.0);
  set(parameter::TacrW, 10.0);
  set(parameter::DsensW, 30.0);
  set(parameter::DDrstart, 50.0);
  set(parameter::DDrstop, 2500.0);
  set(parameter::TacrR, 8.0);
  set(parameter::DsensR, 60.0);
  // Growth.
  set(parameter::gf, 5.0);
  set(parameter::bGf, 22.0);
  set(parameter::epsilonF, 0.5);
  set(parameter::gw, 1.0);
  set(parameter::bGw, 50.0);
  set(parameter::epsilonW, 0.5);
  set(parameter::aGHW, 0.001);
  set(parameter::gr, 0.5);
  set(parameter::bGr, 40.0);
  set(parameter::epsilonR, 0.5);
  // Litter.
  set(parameter::alambdaCFD, 0.05);
  set(parameter::alambdaCRD, 0.01);
  set(parameter::Awd, 0.1);
  set(parameter::atauD, 0.3);
  set(parameter::alambdaF, 0.1);
  set(parameter::sigmaLambdaF, 2.0);
  set(parameter::Cfe, 5.0);
  set(parameter::alambdaW, 0.0005);
  set(parameter::sigmaLambdaW, 2.0);
  set(parameter::Cwe, 1000.0);
  set(parameter::alambdaR, 0.005);
  set(parameter::sigmaLambdaR, 2.0);
  set(parameter::Cre, 50.0);
  // Soil organic matter.
  set(parameter::Q10D, 2.0);
  set(parameter::sigmaD, 0.5);
  set(parameter::Awdopt, 0.7);
  set(parameter::Jdb, 0.8);
  set(parameter::aSE, 0.0006);
  set(parameter::aEI, 0.0004);
  set(parameter::aIE, 0.0001);
  set(parameter::aIH, 0.00004);
  set(parameter::beta, 0.5);
  set(parameter::aH, 0.00002);
  set(parameter::aA, 0.0005);
  set(parameter::qI, 20.0);
  set(parameter::VINH4max, 0.001);
  set(parameter::kINH4, 100.0);
  set(parameter::VINO3max, 0.0005);
  set(parameter::kINO3, 100.0);
  set(parameter::aNtri, 0.00005);
}

// The defined model with the whole stand filled in; no state held, no reset
// flag, NewYear false.
inline Model temperate_forest() {
  Model model = make_model();
  fill_temperate_forest_drivers(model);
  fill_temperate_forest_states(model);
  fill_temperate_forest_parameters(model);
  return model;
}

}  // namespace vindrel::support
