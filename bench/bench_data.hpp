// The data that the benchmarks share: the example forest stand (its parameter
// file and driver file) and a scratch folder for the files that runs write.
//
// The example stand is read from examples/vindrel-example.par and .drr in the
// source tree. Where those files are not there, a stand of the same kind is
// made in the scratch folder: the temperate hardwood stand of the tests'
// support data as its parameter file, and the seeded weather generator's
// climate of the example site as its driver file.
#pragma once

#include <string>

#include "core/model.hpp"

namespace vindrel::bench {

struct ExampleStand {
  std::string parameter_file;
  std::string driver_file;
  bool from_examples = false;  // true: the files of examples/; false: made here
};

// A folder of this process's own, removed when the process ends.
const std::string& scratch_folder();
std::string scratch_file(const std::string& name);

// The example stand's files, found or made on the first call.
const ExampleStand& example_stand();

// A fresh model with the example stand's parameters and initial states.
Model example_model();

// A driver file of `years` model years of 366 days (from time 1) of the example
// site's synthetic weather, made in the scratch folder on the first call for
// that length.
std::string synthetic_driver_file(int years);

}  // namespace vindrel::bench
