// Where the integrator comparison (bench_integrators.cpp) found its largest
// differences and which day figures of the annual summary differ from rk4's,
// as lines for the summary. Empty until the accuracy benchmark has run.
#pragma once

#include <string>

namespace vindrel::bench {

std::string integrator_comparison_notes();
// One line per tolerance tried for dopri5: its evaluations per simulated year
// and its largest year-end state difference from its reference. Empty until
// the tolerance benchmark has run.
std::string integrator_tolerance_table();

}  // namespace vindrel::bench
