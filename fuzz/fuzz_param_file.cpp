// Fuzzes the parameter file reader. Whatever the bytes, ReadParamFile must
// either refuse the file (false) or throw EInOutError naming the file, and then
// leave every value as it was; or read it, changing state and parameter values
// only. The text of a file it read, written back, must read back to the same
// text. Inputs are read from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/param_file.hpp"
#include "fuzz/fuzz_support.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

std::string format_of(const Model& model) {
  const TModelDef& info = model.ModelInfo;
  return format_param_file(info, info.ParameterCount, model.parameters, info.StateCount,
                           model.states);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TextSource input =
      TextSource::text(std::string_view(reinterpret_cast<const char*>(data), size), "input.par");
  const Model& pristine = fuzzing::pristine_model();

  Model model = pristine;
  bool accepted = false;
  try {
    accepted = ReadParamFile(input, model);
  } catch (const EInOutError& error) {
    check(error.file() == input.name(), "the error does not name the file");
    check(!error.message().empty(), "the error has no message");
    check(error.line() <= size + 1, "the error names a line past the end of the file");
    check(fuzzing::same_values(model, pristine), "a failed read changed values");
    return 0;
  }
  if (!accepted) {
    check(fuzzing::same_values(model, pristine), "a refused file changed values");
    return 0;
  }
  const TModelDef& info = model.ModelInfo;
  check(fuzzing::same_values(model.drivers, pristine.drivers) &&
            fuzzing::same_values(model.processes, pristine.processes),
        "reading a parameter file changed drivers or processes");
  for (int i = info.StateCount + 1; i <= kStateCapacity; ++i)
    check(fuzzing::same_bits(model.states[i].value, pristine.states[i].value),
          "a state past the state count changed");
  for (int i = info.ParameterCount + 1; i <= kParameterCapacity; ++i)
    check(fuzzing::same_bits(model.parameters[i].value, pristine.parameters[i].value),
          "a parameter past the parameter count changed");

  // Written back and read again, the values give the same text.
  const std::string text = format_of(model);
  Model second = pristine;
  bool read_again = false;
  try {
    read_again = ReadParamFile(TextSource::text(text, "again.par"), second);
  } catch (const EInOutError& error) {
    fuzzing::broken(error.what());
  }
  check(read_again, "a file written by the program was refused");
  check(format_of(second) == text, "values read back from a written file differ");
  return 0;
}
