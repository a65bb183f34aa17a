// Named positions of every state, driver, process and parameter, generated from
// the model definition list. `state::Cf` is 1, `process::Ta` is 56 (the process
// table holds the 55 derivatives first), `parameter::Deltad` is 1.
#pragma once

namespace vindrel {

namespace state {
enum : int {
  kNone = 0,
#define VINDREL_STATE(id, symbol, name, units) id,
#include "core/model_definition.def"
#undef VINDREL_STATE
  kEnd
};
inline constexpr int kCount = kEnd - 1;
}  // namespace state

namespace driver {
enum : int {
  kNone = 0,
#define VINDREL_DRIVER(id, symbol, name, units) id,
#include "core/model_definition.def"
#undef VINDREL_DRIVER
  kEnd
};
inline constexpr int kCount = kEnd - 1;
}  // namespace driver

namespace process {
enum : int {
  kFirst = state::kCount,  // entries 1..55 are the state derivatives
#define VINDREL_PROCESS(id, symbol, name, units, family, parameters) id,
#include "core/model_definition.def"
#undef VINDREL_PROCESS
  kEnd
};
inline constexpr int kOwnCount = kEnd - 1 - state::kCount;  // 134
inline constexpr int kCount = kEnd - 1;                     // 189
}  // namespace process

namespace parameter {
enum : int {
  kNone = 0,
#define VINDREL_PARAMETER(id, symbol, name, units) id,
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
  kEnd
};
inline constexpr int kCount = kEnd - 1;
}  // namespace parameter

static_assert(state::kCount == 55);
static_assert(driver::kCount == 18);
static_assert(process::kOwnCount == 134);
static_assert(parameter::kCount == 114);

}  // namespace vindrel
