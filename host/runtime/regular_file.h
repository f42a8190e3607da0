// Reading a whole input file with a bound: what is not a regular file (a
// folder, a device such as /dev/zero, a named pipe) is refused at once,
// without waiting for a writer or reading without end, and so is a file of
// more than maxBytes bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// kcIOError "cannot read KIND 'path': cause" for every refusal and failure.
std::vector<unsigned char> kfReadRegularFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind);
