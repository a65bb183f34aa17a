// Names of the benchmarks and counters that the summary reads, shared by the
// benchmark files and the summary printer.
#pragma once

namespace vindrel::bench {

// One benchmark that alternates batches of the three evaluations
// (bench_equations_floor.cpp); its counters are the best times per
// evaluation, in nanoseconds.
inline constexpr const char* kEquations = "equations/floor_and_callers";
inline constexpr const char* kFloorNs = "floor_ns";
inline constexpr const char* kComputeDerivativesNs = "ComputeDerivatives_ns";
inline constexpr const char* kPreparedDerivativesNs = "PreparedDerivatives_ns";
inline constexpr const char* kEvaluateEquationsNs = "EvaluateEquations_ns";
// The same floor and ComputeDerivatives over a sample of a run's own inputs.
inline constexpr const char* kEquationsOverARun = "equations/over_a_run";
// The same over a sample of a dopri5 run's inputs (the run benchmarks' dopri5 run).
inline constexpr const char* kEquationsOverADopri5Run = "equations/over_a_dopri5_run";

// Whole runs of the example stand (bench_run.cpp): one run of kRunYears model
// years per iteration; the counters are per simulated year.
inline constexpr int kRunYears = 3;
inline constexpr const char* kRunWithoutOutput = "run/without_output";
inline constexpr const char* kRunWithOutput = "run/with_output";
// The same runs with dopri5 at its default tolerance.
inline constexpr const char* kRunWithoutOutputDopri5 = "run/without_output_dopri5";
inline constexpr const char* kRunWithOutputDopri5 = "run/with_output_dopri5";
inline constexpr const char* kBestMsPerYear = "best_ms_per_year";  // sum of best steps
inline constexpr const char* kBestPassMsPerYear = "best_pass_ms_per_year";
inline constexpr const char* kClockReadNs = "clock_read_ns";  // taken off every step
// Reading the driver records a run reaches, once, per simulated year.
inline constexpr const char* kDriverRecordsMsPerYear = "driver_records_ms_per_year";
inline constexpr const char* kDerivativeEvaluationsPerYear = "derivative_evaluations_per_year";
inline constexpr const char* kStepEvaluationsPerYear = "step_evaluations_per_year";
inline constexpr const char* kRecordsPerYear = "records_per_year";

// Files (bench_files.cpp): each benchmark alternates the program's routine
// with the standard conversion of the same numbers; the counters are the best
// times per record, in nanoseconds.
inline constexpr const char* kFormatting = "files/format_record";
inline constexpr const char* kFormatNs = "format_ns";
inline constexpr const char* kWriteRecordNs = "WriteOutputRecord_ns";
inline constexpr const char* kToCharsNs = "to_chars_ns";
inline constexpr const char* kOutputParsing = "files/read_output_record";
inline constexpr const char* kDriverParsing = "files/read_driver_record";
inline constexpr const char* kReadNs = "read_ns";
inline constexpr const char* kFromCharsNs = "from_chars_ns";

// The integrators on the example stand's 30-year run (bench_integrators.cpp).
// Each counter's name is the integrator's name ("rk4", "dopri5", "rkf78")
// followed by one of the suffixes.
inline constexpr int kComparisonYears = 30;
inline constexpr const char* kIntegratorSpeed = "integrators/speed";
inline constexpr const char* kEvaluationsPerYearSuffix = "_evaluations_per_year";
inline constexpr const char* kSecondsSuffix = "_s";                        // without output
inline constexpr const char* kSecondsWithOutputSuffix = "_s_with_output";  // a record a day
inline constexpr const char* kIntegratorAccuracy = "integrators/accuracy";
inline constexpr const char* kIntegratorTolerances = "integrators/tolerances";
// Largest relative differences of the year-end states: from the pair at a
// tolerance 100 times tighter, from rk4, and of rk4 from that reference.
inline constexpr const char* kVersusReferenceSuffix = "_vs_reference";
inline constexpr const char* kVersusDefaultSuffix = "_vs_rk4";
inline constexpr const char* kDefaultVersusReferenceSuffix = "_rk4_vs_reference";
// Largest summary difference in half units of the fourth digit; day figures.
inline constexpr const char* kSummaryDigitsSuffix = "_summary_vs_rk4";
inline constexpr const char* kDayFlipsSuffix = "_day_flips";
inline constexpr const char* kLargestFlipSuffix = "_largest_flip_days";

}  // namespace vindrel::bench
