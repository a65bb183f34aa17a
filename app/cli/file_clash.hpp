// Outputs that would overwrite an input: a command names each file it reads
// and each file it writes, and refuses, before anything is written, an output
// that is the same file as an input or as another output.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vindrel::cli {

// A file named on the command line, and the option that named it ("--out").
struct NamedFile {
  std::string_view option;
  const std::string& path;
};

// True when the two names lead to the same file: the same existing file
// (another spelling, a symbolic or a hard link), or, for a file not made yet,
// the same place once "." and ".." and the links of its folders are resolved.
bool same_file(const std::string& first, const std::string& second);

// Throws std::runtime_error naming both options and the file when an output
// is the same file as an existing input or as another output. Empty names (an option
// not given) take no part.
void refuse_overwriting_inputs(std::initializer_list<NamedFile> inputs,
                               std::initializer_list<NamedFile> outputs);

// The same for the files a command writes into a folder (the kept outputs of a
// study): throws std::runtime_error naming the folder's option, the file and
// the input or output it is the same file as, when a file that `folder`
// already holds under a name that `writes` accepts (the file's name without
// the folder) is an input, or when an output is such a file of the folder.
void refuse_overwriting_inputs_in_folder(std::initializer_list<NamedFile> inputs,
                                         std::initializer_list<NamedFile> outputs, NamedFile folder,
                                         const std::function<bool(std::string_view)>& writes);

}  // namespace vindrel::cli
