// Peak memory of whole runs: each run is made by a fresh process (this program
// started again in its run mode), which reports its own peak resident set size
// (VmHWM) when the run ends, so nothing of the benchmarks that ran before
// counts.
#pragma once

#include <string>
#include <vector>

namespace vindrel::bench {

// The argument that starts this program in its run mode:
//   vindrel_bench --peak-memory-run PARFILE DRIVERFILE OUTFILE YEARS [--yearly-reset]
inline constexpr const char* kPeakMemoryRunArgument = "--peak-memory-run";
// Every state back to its initial value at the start of every model year.
inline constexpr const char* kYearlyResetArgument = "--yearly-reset";

// The run mode: one run of YEARS model years from time 1 with a daily time step
// and a record every day (into the .out file, or the NetCDF file of every
// column when OUTFILE ends in .nc), optionally with every state reset yearly; prints the
// process's peak resident set size in kB. Returns the process's exit status.
int peak_memory_run(int argc, char** argv);

struct PeakMemory {
  int years = 0;
  long peak_kilobytes = 0;     // the child's ru_maxrss
  double seconds = 0.0;        // wall time of the child
  long long output_bytes = 0;  // size of the output file it wrote
  std::string failure;         // empty when the run completed
};

// Runs the example stand for each length in `years` in a child process, with
// the example site's synthetic weather of the longest length as its drivers.
// A stand made in the scratch folder (no example stand in examples/) is reset
// to its initial states every year.
std::vector<PeakMemory> measure_peak_memory(const char* program, const std::vector<int>& years);

// The same for one length, written to an output of the format that
// `extension` names: ".out", or ".nc" for the NetCDF file of every column.
PeakMemory measure_output_peak_memory(const char* program, int years, const std::string& extension);

}  // namespace vindrel::bench
