// Checks of a command's outputs, made before any work and before a camera
// is touched, so that nothing is lost to an output that cannot be written
// and no input is replaced by an output.
#pragma once

#include <string>
#include <vector>

// A named input file: "the reference image" and its path.
struct NamedInput {
  std::string role;
  std::string path;
};

// Refuses an output that is one of the inputs: the same file under any
// name, through a symbolic or a hard link too. Inputs left empty are not given.
void checkNotAnInput(const std::string& output, const std::vector<NamedInput>& inputs);
// Checks that files can be written into folder: it is a writable folder,
// or it can be made, as its nearest existing ancestor is a writable folder.
// Nothing is made: a run that fails leaves no empty folder behind.
void checkFolderWritable(const std::string& folder);
// Checks a report's folder (checkFolderWritable) and its files: each can
// be written, and none is an input.
void checkReportOutputs(const std::string& folder, const std::vector<std::string>& files,
                        const std::vector<NamedInput>& inputs);
