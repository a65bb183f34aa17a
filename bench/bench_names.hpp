// Names of the benchmarks that the summary compares, shared by the benchmark
// files and the summary printer.
#pragma once

namespace vindrel::bench {

// Equations (bench_equations.cpp): one evaluation each.
inline constexpr const char* kEquationsFloor = "equations/floor";
inline constexpr const char* kComputeDerivatives = "equations/ComputeDerivatives";
inline constexpr const char* kEvaluateEquations = "equations/EvaluateEquations";

// Whole runs of the example stand (bench_run.cpp): one run of kRunYears model
// years each.
inline constexpr int kRunYears = 3;
inline constexpr const char* kRunWithoutOutput = "run/without_output";
inline constexpr const char* kRunWithOutput = "run/with_output";
// Counters of the run benchmarks, per simulated year.
inline constexpr const char* kDerivativeEvaluationsPerYear = "derivative_evaluations_per_year";
inline constexpr const char* kStepEvaluationsPerYear = "step_evaluations_per_year";
inline constexpr const char* kRecordsPerYear = "records_per_year";

// Files (bench_files.cpp): one output record or one driver record each.
inline constexpr const char* kFormatRecord = "files/format_record";
inline constexpr const char* kWriteRecord = "files/WriteOutputRecord";
inline constexpr const char* kToCharsRecord = "files/to_chars_record";
inline constexpr const char* kReadOutputRecord = "files/ReadOutputRecord";
inline constexpr const char* kFromCharsOutputRecord = "files/from_chars_output_record";
inline constexpr const char* kReadDriverRecord = "files/ReadDriverRecord";
inline constexpr const char* kFromCharsDriverRecord = "files/from_chars_driver_record";

}  // namespace vindrel::bench
