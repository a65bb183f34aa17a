#include "fileio/io_error.hpp"

#include <cerrno>

#include "core/exceptions.hpp"

namespace vindrel {

std::string io_error_message(int error_number, bool creating) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR:
      return creating ? "Path not found" : "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return "File access denied";
    case EISDIR:
      return "File access denied: the name is a folder, not a file";
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return "Disk full";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    default:
      return "I/O error " + std::to_string(error_number);
  }
}

void throw_io_error(int error_number, const std::string& file, std::size_t line, bool creating,
                    std::string_view detail) {
  std::string message = io_error_message(error_number, creating);
  if (!detail.empty()) {
    message += ": ";
    message += detail;
  }
  throw EInOutError(std::move(message), file, line);
}

}  // namespace vindrel
