// The messages of file problems, and the one way this library throws them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vindrel {

// The message for an operating-system error number, in the words users know:
// "File not found", "Path not found", "File access denied", "Disk full",
// otherwise "I/O error N". `creating` tells a missing folder on creation ("Path
// not found") from a missing file on reading ("File not found").
std::string io_error_message(int error_number, bool creating = false);

// Message of a number that cannot be read.
inline constexpr std::string_view kInvalidNumericInput = "Invalid numeric input";
// Message of a file that ends in the middle of the values it must hold.
inline constexpr std::string_view kUnexpectedEndOfFile = "Unexpected end of file";
// Message of reading or writing through a handle that is not open for it.
inline constexpr std::string_view kFileNotOpenForInput = "I/O error 104: file not open for input";
inline constexpr std::string_view kFileNotOpenForOutput = "I/O error 105: file not open for output";

// Throws EInOutError(io_error_message(error_number, creating) + detail, file, line).
// `detail`, when not empty, is appended after ": ".
[[noreturn]] void throw_io_error(int error_number, const std::string& file, std::size_t line = 0,
                                 bool creating = false, std::string_view detail = {});

}  // namespace vindrel
