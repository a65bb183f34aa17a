// Runs vindrel-cli as a child process and captures what it says, for tests of
// the program itself.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace vindrel::testing {

struct CliResult {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `vindrel-cli ARGS` through the shell (ARGS is shell text: quote paths).
inline CliResult run_cli(const std::string& args) {
  // One file per test process: CTest runs tests in parallel, and a shared name
  // would let one test read another's standard error.
  const std::string err_path =
      ::testing::TempDir() + "vindrel_cli_stderr_" + std::to_string(getpid()) + ".txt";
  const std::string command = std::string("'") + VINDREL_CLI + "' " + args + " 2>'" + err_path + "'";
  CliResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = read_whole_file(err_path);
  return result;
}

}  // namespace vindrel::testing
