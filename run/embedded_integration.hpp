// The run's side of the embedded Runge-Kutta pairs (integrator/
// odeint_integrator.hpp): the chosen pair, its tolerance, the size each
// state's error is measured against and the largest step.
#pragma once

#include <memory>

#include "equations/equations.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

// Throws ERunTimeError when an embedded pair is chosen with a relative
// tolerance that is not a number between 0 and 1.
void check_integrator_settings(const RunSettings& settings);

// The error of a state in a step is measured against rtol x (max(|y|, 1) +
// |h dy/dt|), y and dy/dt at the step's start, in the state's own unit: a
// state larger than one unit is held to rtol of its size, a smaller one to
// rtol units. One unit is a small amount of every state of the model (1 g C
// or g N m-2, 1 mm of water, 1 day, 1 degree-day), and a state near zero (a
// snowpack that melts, a running total after its annual reset, a litter total
// before the first litterfall) would otherwise ask for ever smaller steps.
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
  // True when a completed advance() has made its last derivative call at the
  // state it ends with and at x2: the pair's last stage is the derivative at
  // the new state (dopri5).
  bool ends_at_its_last_call() const;

 private:
  struct Pairs;
  StateVector unit_size_{};
  std::unique_ptr<Pairs> pairs_;  // the chosen pair's integrator; none for rk4
};

}  // namespace vindrel
