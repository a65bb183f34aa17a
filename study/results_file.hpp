// The results file of a study: the study's definition (study_definition.hpp),
// then one CSV row per run, in the sample's order.
//
//   # par: sha256 5b0e8f...  base.par
//   ...
//   # metric: nep=summary:NEP:mean
//   run,status,message,<factor names...>,<metric names...>
//   0,completed,,30.5,0.12,412.75
//   1,failed,Step size too small at time 731,41.25,0.3,nan
//
// `run` is the 0-based row of the sample file, `status` is completed or
// failed, `message` the failure's message (empty when completed; quoted, with
// inner quotes doubled, when it holds a comma or a quote), then the factor
// values and the metric values, each the shortest text that reads back to the
// same double (std::to_chars), "nan" for a metric without a value. Lines end
// with LF.
//
// The file is written by appending whole lines, so it is valid at any moment:
// a study that stops leaves complete rows, possibly followed by a cut line,
// which a resume drops. A study run in shards writes the rows of its shard, in
// order, into a file of the same definition and header; merging the parts gives
// the bytes of the study run in one piece.
//
// Files written before studies recorded their definition start with the column
// line; they are read (analyze, merge) but not resumed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/samples.hpp"
#include "study/study_definition.hpp"

namespace vindrel::study {

// A CSV field: as it is, or quoted when it holds a comma, a quote or a line end.
std::string csv_field(std::string_view text);

// The header line (with its LF).
std::string results_header(const std::vector<std::string>& factor_names,
                           const std::vector<std::string>& metric_names);

// One row (with its LF). An empty `failure` makes the status completed; a
// failed run's metrics are written as nan whatever `metrics` holds. Line ends
// in the message become blanks, so that a row stays one line.
std::string results_row(std::size_t run, std::string_view failure,
                        const std::vector<double>& factors, const std::vector<double>& metrics);

// One complete row of a results file.
struct ResultsRow {
  std::size_t run = 0;
  std::size_t line = 0;  // 1-based line number in its file
  std::string text;      // the whole line with its LF, as it stands in the file
  std::vector<std::string> fields;
  bool completed() const { return fields.size() > 1 && fields[1] == "completed"; }
};

struct ResultsFile {
  // The definition lines with their LFs, as they stand in the file, and what
  // they say; both empty in a file written without them.
  std::string definition_text;
  StudyDefinition definition;
  std::string header;  // the column line with its LF
  std::vector<ResultsRow> rows;
  // Bytes of the header and the complete rows; a cut last line (one without
  // its LF, left by a study that stopped while writing) follows them.
  std::size_t complete_bytes = 0;
};

// The text of a results file as the program writes it: without a byte-order
// mark, lines ended by LF (a file saved by an editor that added them). Line
// numbers stay those of the file.
std::string normalized_results_text(std::string text);

// Reads a results file (through normalized_results_text()). Throws EInOutError with the file and
// the line for a definition line that is not "# KEY: VALUE", a missing column line, a complete line
// that is not a row of these columns and an unknown status.
ResultsFile read_results(const std::string& file_name);

// The same from a text in memory; `file_name` names it in messages.
ResultsFile parse_results(std::string text, const std::string& file_name);

// Throws EInOutError naming the line when a row's factor values are not those
// of the sample's row of the same index (the results of another sample file),
// and naming the sample file when the row is beyond the sample's last row.
void check_row_matches_sample(const ResultsRow& row, const SampleTable& samples,
                              const std::string& file_name);

// Throws EInOutError naming the line when a factor field of the row is not a
// finite number, or a metric field not a number or nan ("abc", "1e400", a NUL
// byte), as the analysis reads them. The factors are the columns after the
// first three that the definition's metrics do not take (all of them are
// checked as numbers in a file without a definition).
void check_row_values(const ResultsRow& row, const ResultsFile& file, const std::string& file_name);

// The study's count of sample rows as its definition records it ("# rows: N");
// nothing for a file written before definitions recorded it.
std::optional<std::size_t> recorded_row_count(const StudyDefinition& definition);

// Joins the parts of a study run in shards into `out_file` (through the safe
// writer), rows sorted by run: the bytes of the study run in one piece. The
// parts must have the same definition and header and hold disjoint rows that
// together run from 0 without a gap, up to the sample's last row (the sample's
// rows when `samples` is given, else the count the definition records), with
// values as check_row_values() wants them. Given, the sample
// file and the factors file must also be those of the parts' definition.
// Refuses otherwise, with a message that names the parts, what differs and
// the runs.
void merge_results(const std::vector<std::string>& part_files, const std::string& out_file,
                   const SampleTable* samples = nullptr, const std::string& factors_file = {});

}  // namespace vindrel::study
