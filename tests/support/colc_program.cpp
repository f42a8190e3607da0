#include "support/colc_program.h"

#include <sys/wait.h>

#include <cstdio>

ColcOutput runColc(const std::string& arguments, bool keepErrors) {
  const std::string command =
      std::string(COLC_BINARY_DIR) + "/apps/colc/colc " + arguments + (keepErrors ? " 2>&1" : " 2>/dev/null");
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  char chunk[4096];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}
