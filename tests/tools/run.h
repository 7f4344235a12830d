#pragma once
// Runs a command line and returns its exit status and standard output.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace tools_testing {

struct Result {
  int status = -1;  // the exit code, or -1 when it did not exit normally
  std::string out;
};

inline Result RunCommand(const std::string& command) {
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int raw = pclose(pipe);
  if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  return result;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline int CountLines(const std::string& text, const std::string& needle) {
  int count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) count += line.find(needle) != std::string::npos;
  return count;
}

}  // namespace tools_testing
