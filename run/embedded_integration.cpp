#include "run/embedded_integration.hpp"

#include <cstddef>
#include <optional>
#include <tuple>

#include "core/exceptions.hpp"
#include "integrator/odeint_integrator.hpp"

namespace vindrel {
namespace {

constexpr std::size_t kCapacity = std::tuple_size_v<StateVector>;

// The largest step, as a fraction of the time step. The stages of a long step
// of a high-order pair lie far from the solution; where a switch of the model
// starts within the step (leaf-out, with growth that starts at a degree-day
// sum), they reach negative pools whose arithmetic fails before the error test
// could reject the step, and a failed evaluation ends the run.
constexpr double kLargestStepFraction = 0.5;

}  // namespace

struct EmbeddedIntegration::Pairs {
  std::optional<integrator::EmbeddedIntegrator<integrator::Dopri5Stepper<kCapacity>, kCapacity>>
      dopri5;
  std::optional<integrator::EmbeddedIntegrator<integrator::Fehlberg78Stepper<kCapacity>, kCapacity>>
      fehlberg78;
};

void check_integrator_settings(const RunSettings& settings) {
  const double rtol = settings.relative_tolerance;
  if (settings.integrator != IntegratorKind::kRk4 && !(rtol > 0.0 && rtol < 1.0)) {
    throw ERunTimeError(
        "The integrator's relative tolerance must be greater than 0 and less than 1.");
  }
}

EmbeddedIntegration::EmbeddedIntegration(const RunSettings& settings, int state_count) {
  if (settings.integrator == IntegratorKind::kRk4) return;
  for (int i = 0; i < state_count; ++i) unit_size_[static_cast<std::size_t>(i)] = 1.0;
  check_integrator_settings(settings);
  pairs_ = std::make_unique<Pairs>();
  const double rtol = settings.relative_tolerance;
  if (settings.integrator == IntegratorKind::kDopri5) {
    pairs_->dopri5.emplace(state_count, rtol, unit_size_);
  } else {
    pairs_->fehlberg78.emplace(state_count, rtol, unit_size_);
  }
}

EmbeddedIntegration::~EmbeddedIntegration() = default;

void EmbeddedIntegration::advance(StateVector& y, double& h, double x1, double x2, double hmin,
                                  PreparedDerivatives& derivatives) {
  if (!pairs_) throw ERunTimeError("The model's own integrator is not an embedded pair.");
  const double hmax = kLargestStepFraction * (x2 - x1);
  if (pairs_->dopri5) {
    pairs_->dopri5->integrate(y, h, x1, x2, hmin, hmax, derivatives);
  } else {
    pairs_->fehlberg78->integrate(y, h, x1, x2, hmin, hmax, derivatives);
  }
}

bool EmbeddedIntegration::ends_at_its_last_call() const {
  return pairs_ && pairs_->dopri5 && integrator::Dopri5Stepper<kCapacity>::kReusesLastStage;
}

}  // namespace vindrel
