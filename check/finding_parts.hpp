// The pieces the findings are made of, shared by the files of the check.
#pragma once

#include <cstddef>
#include <string>

#include "check/findings.hpp"
#include "core/exceptions.hpp"
#include "core/model.hpp"

namespace vindrel::finding_parts {

// A number of days (or any value) as the findings write it: the shortest text.
std::string day_text(double value);

Finding refusal(std::string file, std::size_t line, std::string text);
Finding warning(std::string file, std::size_t line, std::string text);
// The refusal a reader's error gives: its file, line and message.
Finding from_error(const EInOutError& error);

// A name as the parameter file's name field holds it: cut to the field's
// width, without the blanks after it.
std::string cut_name(const std::string& name);

// "state 5 (Nf, N: foliar)" or "parameter 12 (mF, ...)" for entry `index`
// (0-based) of the parameter file's entries: the states, then the parameters.
std::string entry_name(const Model& model, std::size_t index);

}  // namespace vindrel::finding_parts
