// Where an evaluation reads its states and writes what it changes in them.
// Four forms, one per kind of caller; each knows how its states come into the
// evaluation's record and how the derivatives of its held states are zeroed.
// Internal to the equations.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "equations/block_copy.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "equations/testing.hpp"

namespace vindrel::equations {

// The states lie together in the evaluation's record, in the order of their
// positions, as do the derivatives: the integrator's vectors copy in and out
// as blocks.
inline constexpr std::size_t kStatesBegin = offsetof(Evaluation, Cf);
inline constexpr std::size_t kDerivativesBegin = offsetof(Evaluation, dCfdt);
inline constexpr std::size_t kStatesSize = state::kCount * sizeof(double);
static_assert(offsetof(Evaluation, Jdrs) + sizeof(double) - kStatesBegin == kStatesSize,
              "the states must be declared together, in order");
static_assert(offsetof(Evaluation, dJdrsdt) + sizeof(double) - kDerivativesBegin == kStatesSize,
              "the derivatives must be declared together, in order");

// The derivative of state i is kDerivatives[i - 1].
inline constexpr double Evaluation::*kDerivatives[] = {
#define VINDREL_STATE(id, symbol, name, units) &Evaluation::d##id##dt,
#include "core/model_definition.def"
#undef VINDREL_STATE
};
static_assert(std::size(kDerivatives) == state::kCount);

// Copies the integrator's vector of states into the record; false when a value
// is not finite.
inline bool copy_state_vector_in(const StateVector& y, Evaluation& e) {
  return marks_finite(copy_block<kStatesSize>(reinterpret_cast<unsigned char*>(&e) + kStatesBegin,
                                              reinterpret_cast<const unsigned char*>(y.data())));
}

// A held state does not move, whatever its formula says: the derivatives of the
// states whose flag is set are zeroed, state by state.
template <class Flags>
inline void zero_held_derivatives(const Flags& HoldConstant, Evaluation& e) {
#define VINDREL_STATE(id, symbol, name, units) \
  if (HoldConstant(state::id)) e.d##id##dt = 0.0;
#include "core/model_definition.def"
#undef VINDREL_STATE
}

// The tables' form: a StateValues record, read and written. Its results are
// tested for finiteness, not its states.
struct SharedStates {
  StateValues& states;
  double value(int position) const { return states.value[position]; }
  bool held(int position) const { return states.HoldConstant[position]; }
  void set(int position, double value) { states.value[position] = value; }

  bool copy_in(Evaluation& e) const {
#define VINDREL_STATE(id, symbol, name, units) e.id = value(state::id);
#include "core/model_definition.def"
#undef VINDREL_STATE
    return true;
  }
  void zero_held_derivatives(Evaluation& e) const {
    equations::zero_held_derivatives([this](int position) { return held(position); }, e);
  }
};

// The integrator's form: the values of the state vector y and the flags of the
// model's state table; what the evaluation writes into its states is dropped,
// as it would be with a private copy of the table.
struct PrivateStates {
  const StateVector& y;
  const statearray& table;
  double value(int position) const { return y[position - 1]; }
  bool held(int position) const { return table[position].HoldConstant; }
  void set(int, double) {}

  bool copy_in(Evaluation& e) const { return copy_state_vector_in(y, e); }
  void zero_held_derivatives(Evaluation& e) const {
    equations::zero_held_derivatives([this](int position) { return held(position); }, e);
  }
};

// The prepared derivative function's form: the values of the state vector y
// and the flags copied when it was prepared; writes are dropped. The held
// states come as a list made when it was prepared (usually empty).
struct PreparedStates {
  const StateVector& y;
  const std::array<bool, kStateCapacity + 1>& HoldConstant;
  const std::array<int, kStateCapacity>& held_positions;
  int held_count;
  double value(int position) const { return y[position - 1]; }
  bool held(int position) const { return HoldConstant[position]; }
  void set(int, double) {}

  bool copy_in(Evaluation& e) const { return copy_state_vector_in(y, e); }
  void zero_held_derivatives(Evaluation& e) const {
    for (int k = 0; k < held_count; ++k) {
      e.*kDerivatives[held_positions[static_cast<std::size_t>(k)] - 1] = 0.0;
    }
  }
};

// The end-of-step form of a run: the values of a state vector, read and
// written, with the flags copied when the derivative function was prepared.
struct VectorStates {
  StateVector& y;
  const std::array<bool, kStateCapacity + 1>& HoldConstant;
  double value(int position) const { return y[static_cast<std::size_t>(position - 1)]; }
  bool held(int position) const { return HoldConstant[static_cast<std::size_t>(position)]; }
  void set(int position, double value) { y[static_cast<std::size_t>(position - 1)] = value; }

  bool copy_in(Evaluation& e) const { return copy_state_vector_in(y, e); }
  void zero_held_derivatives(Evaluation& e) const {
    equations::zero_held_derivatives([this](int position) { return held(position); }, e);
  }
};

}  // namespace vindrel::equations
