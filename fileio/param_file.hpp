// The parameter file: one complete set of values for a run, the initial value
// of every state and the value of every parameter, in a fixed-width text file.
//
// Layout (8-bit text, every line ended by CR LF):
//   line 1      ModelName "%-25.25s", a space, ModelVersion "%-25.25s"
//   then        one line per state 1..StateCount, then one per parameter
//               1..ParameterCount: name "%-25.25s", the value in the 23-character
//               real format (format_param_real), a space, units "%-25.25s".
// With this model a file has 1 + 55 + 114 = 170 lines. Values are matched to
// table entries by position; names and units in the file are for people only.
//
// Reading is forgiving about layout: each line must start with a 25-character
// name field; the value follows after any blanks and need not be in its column
// ("2.5" and "-3e-2" read as well as the written form); the rest of the line is
// skipped and lines after the last expected one are ignored.
//
// The parameters-modified flag belongs to the main window: these routines do
// not touch it. The caller clears it before ReadParamFile (whatever the outcome)
// and after a WriteParamFile that returned normally.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"
#include "fileio/token_reader.hpp"

namespace vindrel {

// What a caller shows when ReadParamFile refuses a file as incompatible.
inline constexpr std::string_view kIncompatibleParamFileMessage =
    "The parameter file selected is not compatible with this model. No parameters read.";

// True when the first line of a parameter file names this model and version:
// its first 26 characters with every space deleted equal ModelName with every
// space deleted, ignoring the case of A-Z; and the rest of the line, up to its
// first space, equals ModelVersion exactly.
bool param_header_matches(std::string_view first_line, const TModelDef& info);

// Reads the file (or the text in memory) into the `value` fields of states 1..StateCount and
// parameters 1..ParameterCount of the given tables (the model's or private copies of the same
// shape); nothing else is touched. Returns true when read; false, changing nothing, when the first
// line does not name this model and version (the caller shows kIncompatibleParamFileMessage).
// Throws EInOutError, changing nothing, when the file cannot be opened ("File
// not found", "File access denied"), when a value is not a number ("Invalid
// numeric input: expected the value of parameter 25 (Foliage C Density), found
// \"abc\"") or when the file ends before the last value ("Unexpected end of file:
// expected ..."); the error carries the file name and the line number. The
// values are parsed into scratch storage and stored only when all were read.
bool ReadParamFile(const TextSource& source, const TModelDef& info, std::int32_t ParameterCount,
                   paramarray& parameters, std::int32_t StateCount, statearray& states);
// The same into the model's own tables, with the model's counts.
bool ReadParamFile(const TextSource& source, Model& model);

// One state or parameter line of a parameter file, as ReadParamFile reads it.
struct ParamFileLine {
  std::size_t line = 0;    // 1-based line on which the entry starts
  std::string name_field;  // the name field without its trailing blanks
  double value = 0.0;
};

// The entries of a parameter file read exactly as ReadParamFile reads them:
// the StateCount state lines, then the ParameterCount parameter lines, each
// with its line number and name field. Empty when the first line does not
// name this model and version; throws as ReadParamFile does.
std::vector<ParamFileLine> ReadParamFileLines(const std::string& file_name, const Model& model);

// Writes the file from the given tables, replacing any file of that name
// through a temporary file in the same folder (safe_write.hpp): a failure throws
// EInOutError ("File access denied", "Disk full", ...) and leaves the previous
// file as it was.
void WriteParamFile(const std::string& file_name, const TModelDef& info,
                    std::int32_t ParameterCount, const paramarray& parameters,
                    std::int32_t StateCount, const statearray& states);
void WriteParamFile(const std::string& file_name, const Model& model);

// The file's exact content, as WriteParamFile writes it.
std::string format_param_file(const TModelDef& info, std::int32_t ParameterCount,
                              const paramarray& parameters, std::int32_t StateCount,
                              const statearray& states);

}  // namespace vindrel
