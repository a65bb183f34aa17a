// Fuzzes the results file reader of studies. Whatever the bytes, parse_results
// must either throw EInOutError naming the file and a line of it, or give the
// file back in pieces: the definition lines, the column line and the complete
// rows are, one after the other, the file's first complete_bytes bytes; every
// row has the columns' count of fields and a known status; the definition
// written again reads back the same (the file's bytes without a byte-order
// mark, its CR LF line ends read as LF). The rows are then checked against a
// sample of the same columns and for values that are numbers, which must
// either pass or name a file; and the file merged as the one part of a study
// is refused with a message or read back with the same rows.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/exceptions.hpp"
#include "fuzz/fuzz_support.hpp"
#include "study/results_file.hpp"
#include "study/study_definition.hpp"

using namespace vindrel;
using vindrel::fuzzing::check;

namespace {

std::size_t line_count(const std::string& text) {
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

bool same_definition(const study::StudyDefinition& a, const study::StudyDefinition& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key || a[i].value != b[i].value || a[i].note != b[i].note) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  study::ResultsFile file;
  try {
    file = study::parse_results(text, "input.csv");
  } catch (const EInOutError& error) {
    check(error.file() == "input.csv", "the error does not name the file");
    check(!error.message().empty(), "the error has no message");
    check(error.line() >= 1 && error.line() <= line_count(text),
          "the error names no line of the file");
    return 0;
  }
  std::string pieces = file.definition_text + file.header;
  for (const study::ResultsRow& row : file.rows) {
    pieces += row.text;
    check(row.fields.size() >= 3, "a row without run, status and message");
    check(row.fields[1] == "completed" || row.fields[1] == "failed", "a row of unknown status");
    check(row.line >= 2 && row.line <= line_count(text), "a row's line is not in the file");
  }
  const std::string normalized = study::normalized_results_text(text);
  check(file.complete_bytes == pieces.size() && normalized.compare(0, pieces.size(), pieces) == 0,
        "the pieces read are not the file's complete lines");
  study::StudyDefinition again;
  try {
    again = study::parse_definition(study::definition_text(file.definition), "again.csv", 1);
  } catch (const EInOutError& error) {
    fuzzing::broken(error.what());
  }
  check(same_definition(again, file.definition), "a written definition reads back differently");

  // Every row checked against a one-factor sample of two rows.
  study::SampleTable samples{{"x"}, {{0.5}, {2.0}}, "samples.csv"};
  for (const study::ResultsRow& row : file.rows) {
    try {
      study::check_row_matches_sample(row, samples, "input.csv");
    } catch (const EInOutError& error) {
      check(error.file() == "input.csv" || error.file() == "samples.csv",
            "a mismatch that names neither file");
    }
    try {
      study::check_row_values(row, file, "input.csv");
    } catch (const EInOutError& error) {
      check(error.file() == "input.csv" && error.line() == row.line,
            "a value refused without its file and line");
    }
  }

  // The merge path: the file as the only part of its study.
  static const std::string folder = "/tmp/fuzz_results_" + std::to_string(getpid());
  const std::string part = folder + ".part.csv";
  const std::string merged = folder + ".merged.csv";
  std::ofstream(part, std::ios::binary) << text;
  std::remove(merged.c_str());
  try {
    study::merge_results({part}, merged);
  } catch (const std::exception& error) {
    check(*error.what() != '\0', "a merge refused without a message");
    std::ifstream written(merged);
    check(!written, "a refused merge wrote its output");
    return 0;
  }
  const study::ResultsFile back = study::read_results(merged);
  check(back.rows.size() == file.rows.size(), "the merge lost or added rows");
  return 0;
}
