// The run's side of the embedded Runge-Kutta pairs (integrator/
// odeint_integrator.hpp): the chosen pair, its tolerance and the typical size
// of each state, carried from one time step to the next like the step size.
#pragma once

#include <memory>

#include "equations/equations.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

// Throws ERunTimeError when an embedded pair is chosen with a relative
// tolerance that is not a number between 0 and 1.
void check_integrator_settings(const RunSettings& settings);

// The error of a state is measured against rtol x (max(|y|, s) + |h dy/dt|),
// where s, its typical size, is the largest magnitude the state has had at the
// start of a time step in this run. A pool is thus held to rtol of its own
// size, and a state that passes through zero (a snowpack, a running total
// after its annual reset) to rtol of the size it reaches, instead of to ever
// smaller amounts as it nears zero.
class EmbeddedIntegration {
 public:
  EmbeddedIntegration(const RunSettings& settings, int state_count);
  ~EmbeddedIntegration();
  EmbeddedIntegration(const EmbeddedIntegration&) = delete;
  EmbeddedIntegration& operator=(const EmbeddedIntegration&) = delete;

  // Advances the first state_count elements of y from x1 to x2 with the
  // derivatives as prepared for this time step. h is the first trial step and
  // comes back as the step to start the next time step with; hmin is the
  // smallest step allowed. Failures as EmbeddedIntegrator's.
  void advance(StateVector& y, double& h, double x1, double x2, double hmin,
               PreparedDerivatives& derivatives);

 private:
  struct Pairs;
  int state_count_;
  StateVector typical_size_{};
  std::unique_ptr<Pairs> pairs_;  // the chosen pair's integrator; none for rk4
};

}  // namespace vindrel
