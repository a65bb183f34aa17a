// Content hashes of input files, recorded with a run's outputs so that a
// result can be traced to the exact files it came from: SHA-256 in lower-case
// hexadecimal, the same text `sha256sum FILE` prints.
#pragma once

#include <string>
#include <string_view>

namespace vindrel {

// The SHA-256 of `bytes`, 64 hexadecimal digits.
std::string sha256_hex(std::string_view bytes);

// The SHA-256 of a file's content, read in blocks. Throws EInOutError ("File
// not found", ...).
std::string file_sha256(const std::string& file_name);

}  // namespace vindrel
