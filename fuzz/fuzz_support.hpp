// Helpers shared by the fuzz targets: a check that stops the fuzzer (with a
// message) when a reader breaks one of its promises, so that libFuzzer keeps the
// input that did it, and a model whose values no read could produce by chance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/model.hpp"

namespace vindrel::fuzzing {

// Stops the fuzzer with a message; libFuzzer saves the input as a crash.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool condition, const char* what) {
  if (!condition) broken(what);
}

// Fills the values of every table of `model` with a pattern that no file read
// could produce by chance, so that a reader that changes values it should not
// is caught.
inline void fill_with_pattern(Model& model) {
  for (std::size_t i = 0; i < model.states.size(); ++i)
    model.states[i].value = -7.25e100 - double(i);
  for (std::size_t i = 0; i < model.parameters.size(); ++i)
    model.parameters[i].value = 3.5e-200 + double(i);
  for (std::size_t i = 0; i < model.drivers.size(); ++i)
    model.drivers[i].value = -1.5e77 * double(i + 1);
  for (std::size_t i = 0; i < model.processes.size(); ++i)
    model.processes[i].value = 9.75e55 + double(i);
}

// The model every target reads into: defined, with the pattern in every value.
inline const Model& pristine_model() {
  static const Model model = [] {
    Model m = make_model();
    fill_with_pattern(m);
    return m;
  }();
  return model;
}

// Bitwise comparison of two values (a NaN equals a NaN with the same bits).
inline bool same_bits(double a, double b) { return __builtin_memcmp(&a, &b, sizeof a) == 0; }

template <typename Table>
bool same_values(const Table& a, const Table& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!same_bits(a[i].value, b[i].value)) return false;
  return true;
}

inline bool same_values(const Model& a, const Model& b) {
  return same_values(a.states, b.states) && same_values(a.parameters, b.parameters) &&
         same_values(a.drivers, b.drivers) && same_values(a.processes, b.processes);
}

}  // namespace vindrel::fuzzing
