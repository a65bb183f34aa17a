// What defines a study, recorded above the column line of its results file so
// that a resumed study or a merged part is known to be the same study:
//
//   # par: sha256 5b0e8f...  examples/vindrel-example.par
//   # drivers: sha256 0c41d2...  examples/vindrel-example.drr
//   # factors: sha256 91aa07...  factors.csv
//   # samples: sha256 e3d2b9...  samples.csv
//   # start: 1
//   # stop: 10980
//   # step: 1
//   # output-step: 1
//   # repeat-drivers: no
//   # reset-every: no
//   # hold: none
//   # integrator: rk4, tolerance 1e-08
//   # metric: nep=summary:NEP:mean:years=21-30
//   run,status,message,...
//
// One line "# KEY: VALUE" per item, LF-ended. The inputs are known by the
// SHA-256 of their bytes; the file name after two blanks is a note for a
// reader and takes no part in the comparison (the same study may be resumed
// from another folder). Numbers are the shortest text that reads back to the
// same double. A metric is written in one spelling whatever the user typed
// (`LAI:max` and `process:LAI:max` are the same metric). The shard is not part
// of the definition: the parts of a study share one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vindrel::study {

struct DefinitionItem {
  std::string key;    // "par", "stop", "metric", ...
  std::string value;  // what is compared
  std::string note;   // for a reader only: the name of a hashed file
};

using StudyDefinition = std::vector<DefinitionItem>;

// The lines "# KEY: VALUE[  NOTE]\n" of the definition.
std::string definition_text(const StudyDefinition& definition);

// Reads definition lines (the text of the lines that start with "#", LF-ended,
// the first of them on line `first_line` of `file_name`). Throws EInOutError
// naming the line for a line that is not "# KEY: VALUE".
StudyDefinition parse_definition(std::string_view text, const std::string& file_name,
                                 std::size_t first_line);

// What differs between a recorded definition and another, in words for a
// message ("stop: 730 in results.csv, 1095 in this study; ..."), or an empty
// text when they are the same study. `recorded_where` and `other_where` name
// the two sides.
std::string definition_differences(const StudyDefinition& recorded, const StudyDefinition& other,
                                   std::string_view recorded_where, std::string_view other_where);

// The value of the first item of this key, or nullptr.
const DefinitionItem* find_item(const StudyDefinition& definition, std::string_view key);

// "sha256 " and the SHA-256 of a file's bytes. Throws EInOutError ("File not
// found", ...) when it cannot be read.
std::string file_content_hash(const std::string& file_name);

}  // namespace vindrel::study
