// The model's tables: the definition record, the state, process, parameter and
// driver tables, and the one `Model` record that holds them together.
//
// Every table is 1-based: entry 0 is never used, and routines walk entries 1 to
// the matching count of `ModelInfo`, never the capacity. Entries beyond the
// counts stay empty.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vindrel {

inline constexpr int kStateCapacity = 56;
inline constexpr int kProcessCapacity = 200;
inline constexpr int kParameterCapacity = 200;
inline constexpr int kDriverCapacity = 20;

struct TModelDef {
  std::string ModelName;
  std::string ModelVersion;
  std::string TimeUnit;
  std::int32_t DriverCount = 0;
  std::int32_t StateCount = 0;
  std::int32_t ProcessCount = 0;  // derivatives included
  std::int32_t ParameterCount = 0;
};

struct Tstatevariable {
  std::string name;
  double value = 0.0;
  std::string units;
  std::string symbol;
  bool HoldConstant = false;  // derivative 0, skipped by the reset and the step updates
  bool Reset = false;         // put back to its run-start value by the periodic reset
};

struct Tprocessvariable {
  std::string name;
  double value = 0.0;
  std::string units;
  std::string symbol;
  std::int32_t parameters = 0;  // consecutive entries of the parameter table
  std::uint8_t family = 0;      // 0..4, the family of processes that colours the editor page
};

// Parameters and drivers share one record type.
struct Tparamvariable {
  std::string name;
  double value = 0.0;
  std::string units;
  std::string symbol;
};

// Index 0 is unused so that entry i sits at [i].
using statearray = std::array<Tstatevariable, kStateCapacity + 1>;
using processarray = std::array<Tprocessvariable, kProcessCapacity + 1>;
using paramarray = std::array<Tparamvariable, kParameterCapacity + 1>;
using driverarray = std::array<Tparamvariable, kDriverCapacity + 1>;

// One complete model: its definition, its tables and the one flag that
// travels with them. Tests and sweeps make as many as they like.
struct Model {
  TModelDef ModelInfo;
  statearray states;
  processarray processes;
  paramarray parameters;
  driverarray drivers;
  // Set by the end-of-step evaluation when the truncated time is a multiple
  // of 366; asks every evaluation up to the next end of step for the annual reset.
  bool NewYear = false;
};

// Fills names, units, symbols, counts, parameter counts and families. Leaves every
// value and flag as it is.
void define_model(Model& model);

// A model with its definition filled and every value zero.
Model make_model();

// 0-based position in the parameter table of the first parameter of process p
// (1-based over the whole process table). Parameter j (from 0) of process p is
// table entry FirstParamIndex(p) + j + 1.
std::int32_t FirstParamIndex(const Model& model, std::int32_t p);

}  // namespace vindrel
