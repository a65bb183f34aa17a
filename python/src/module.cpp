// The extension module: the headless libraries as Python classes and functions.
#include <pybind11/pybind11.h>

#include "bindings.hpp"
#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"

namespace vindrel::python {
namespace {

// A file problem becomes vindrel.FileError (an OSError) with the file, the line
// (0 when none applies) and the message apart, its text as the program prints it.
void translate_file_errors(std::exception_ptr failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const EInOutError& error) {
    py::gil_scoped_acquire gil;
    // A file that is not there is also a FileNotFoundError, one that may not
    // be read a PermissionError.
    const std::string& message = error.message();
    const char* kind = "FileError";
    if (message.starts_with("File not found") || message == kDriverFileMissingMessage) {
      kind = "FileMissing";
    } else if (message.starts_with("File access denied")) {
      kind = "FileDenied";
    }
    const py::object file_error = py::module_::import("vindrel._errors").attr(kind);
    const py::object instance =
        file_error(error.what(), py::arg("file") = error.file(), py::arg("line") = error.line(),
                   py::arg("message") = error.message());
    PyErr_SetObject(file_error.ptr(), instance.ptr());
  }
}

}  // namespace
}  // namespace vindrel::python

PYBIND11_MODULE(_vindrel, module) {
  using namespace vindrel::python;
  module.doc() = "The Vindrel forest stand model: models, runs and output files";
  py::register_exception_translator(translate_file_errors);
  bind_model(module);
  bind_run(module);
  bind_output(module);
  bind_spinup(module);
}
