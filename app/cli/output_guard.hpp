// The files a run writes, made sure of before its first step: each can be
// created, and no other run is writing it.
#pragma once

#include <string>
#include <string_view>

namespace vindrel::cli {

// Checks that `path` can be written as a save will write it: a fresh
// temporary file is made in its folder and removed again (an existing target
// must be writable). Throws EInOutError naming the file ("...: Path not
// found", "...: File access denied"). An empty name (an option not given)
// is not checked.
void check_output_creatable(const std::string& path);

// An advisory lock on an output file for the life of a run, so that a second
// run writing the same file (by any spelling or link) refuses at its start
// instead of losing one run's output. The lock is held on a hidden file beside
// the target, ".NAME.lock", removed when the run lets it go; the system lets
// it go when the program ends in any way. A device (/dev/null) is not locked.
// Removes what a killed run left beside `path`: its hidden temporary files
// (".NAME.tmpPID.N"), those of the process with that id when it is gone, and
// says so on standard error. Call it holding the file's OutputLock.
void remove_stale_temporaries(const std::string& path);

// The same for the hidden files a killed study left in its kept outputs'
// folder (".run-000042.out.PID.N" and their own temporaries).
void remove_stale_kept_outputs(const std::string& folder);

class OutputLock {
 public:
  OutputLock() = default;
  // Throws std::runtime_error when another run holds the lock: "--out:
  // another run (process PID) is writing FILE; wait for it to end or choose
  // another file". The lock file holds the holder's process id.
  OutputLock(std::string_view option, const std::string& path);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  int descriptor_ = -1;
  std::string lock_file_;
};

}  // namespace vindrel::cli
