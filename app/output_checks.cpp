#include "app/output_checks.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "app/exit_status.h"
#include "app/files.h"

namespace fs = std::filesystem;

void checkNotAnInput(const std::string& output, const std::vector<NamedInput>& inputs) {
  for (const NamedInput& input : inputs) {
    std::error_code error;  // a file that does not exist is no input
    if (!input.path.empty() && fs::equivalent(output, input.path, error))
      throw CommandFailure(ExitStatus::unwritableFile, "cannot write '" + output + "': it is " + input.role + " '" +
                                                           input.path + "', which it would replace");
  }
}

void checkFolderWritable(const std::string& folder) {
  auto refusal = [&](const std::string& cause) {
    return CommandFailure(ExitStatus::unwritableFile, "cannot write into the folder '" + folder + "': " + cause);
  };
  std::error_code error;
  fs::path existing = fs::absolute(folder, error);
  while (!fs::exists(existing, error) && existing.has_relative_path()) existing = existing.parent_path();
  if (!fs::is_directory(existing, error))
    throw refusal("'" + existing.string() + "' is " + (error ? error.message() : "not a folder"));
  if (::access(existing.c_str(), W_OK | X_OK) != 0) throw refusal("'" + existing.string() + "' is not writable");
}

void checkReportOutputs(const std::string& folder, const std::vector<std::string>& files,
                        const std::vector<NamedInput>& inputs) {
  checkFolderWritable(folder);
  const bool folderExists = fs::is_directory(folder);
  for (const std::string& file : files) {
    if (folderExists) checkOutputFile(file, "report file");
    checkNotAnInput(file, inputs);
  }
}
