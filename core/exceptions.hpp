// Failures of the model. Run failures form two families (ERunTimeError and
// EStepError) that carry only a message; arithmetic faults of the equations and
// file problems have classes of their own.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace vindrel {

class ERunTimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EIntegratorError : public ERunTimeError {
 public:
  using ERunTimeError::ERunTimeError;
};

class ETooManySteps : public EIntegratorError {
 public:
  using EIntegratorError::EIntegratorError;
};

// The step the integrator needs has become smaller than it allows. Where the
// integrator knows it, the exception names the element of its vector (1-based)
// that had the largest scaled error in the last trial that cut the step; 0
// when it does not know one (a division by zero cut the step), or when no
// error limited it: the step was growing as fast as the integrator lets it,
// from a step that was already too short (growth_limited).
class EStepTooSmall : public EIntegratorError {
 public:
  using EIntegratorError::EIntegratorError;
  EStepTooSmall(const std::string& message, int largest_error, bool growth_limited = false)
      : EIntegratorError(message), largest_error_(largest_error), growth_limited_(growth_limited) {}

  int largest_error() const noexcept { return largest_error_; }
  bool growth_limited() const noexcept { return growth_limited_; }

 private:
  int largest_error_ = 0;
  bool growth_limited_ = false;
};

// Ends a run without a message.
class EUserCancel : public ERunTimeError {
 public:
  EUserCancel() : ERunTimeError("") {}
};

// An arithmetic fault raised during an evaluation of the equations.
class EMathError : public ERunTimeError {
 public:
  using ERunTimeError::ERunTimeError;
};

// A division by zero (the pole of a logarithm included). The integrator answers
// it by retrying the trial step with half the step size.
class EZeroDivide : public EMathError {
 public:
  using EMathError::EMathError;
};

// Any other arithmetic fault: an invalid operation or an overflow. Ends the run.
class EInvalidOp : public EMathError {
 public:
  using EMathError::EMathError;
};

class EStepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EOutputStepTooSmall : public EStepError {
 public:
  EOutputStepTooSmall() : EStepError("Output time step is less than simulation time step.") {}
};

class EOutputStepTooLarge : public EStepError {
 public:
  EOutputStepTooLarge() : EStepError("Output time step is greater than run length.") {}
};

class EOutputStepNotMultiple : public EStepError {
 public:
  EOutputStepNotMultiple()
      : EStepError("Output time step must be a multiple of simulation time step.") {}
};

// A problem with a file: what went wrong, in which file and, where it applies,
// on which line (1-based; 0 when no line applies). what() reads
// "FILE:LINE: MESSAGE" or "FILE: MESSAGE".
class EInOutError : public std::runtime_error {
 public:
  EInOutError(std::string message, std::string file, std::size_t line = 0)
      : std::runtime_error(compose(message, file, line)),
        message_(std::move(message)),
        file_(std::move(file)),
        line_(line) {}

  const std::string& message() const noexcept { return message_; }
  const std::string& file() const noexcept { return file_; }
  std::size_t line() const noexcept { return line_; }

 private:
  static std::string compose(const std::string& message, const std::string& file,
                             std::size_t line) {
    if (file.empty()) return message;
    std::string text;
    text.reserve(file.size() + message.size() + 24);
    text.append(file);
    if (line > 0) text.append(1, ':').append(std::to_string(line));
    text.append(": ").append(message);
    return text;
  }

  std::string message_;
  std::string file_;
  std::size_t line_;
};

}  // namespace vindrel
