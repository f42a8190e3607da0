// Writing an output file whole or not at all, and only over a regular file.
//
// The bytes go to a new temporary file in the target's folder (so that the
// rename stays on one file system), are forced to the disk, and the
// temporary file is renamed over the target only once it is complete: a
// failed write or a full disk leaves the target as it was and no partial
// file beside it. An existing target keeps its permissions; a new one gets
// the usual ones (0666 less the umask). A symbolic link to a regular file
// stays a link: the file it names is replaced.
//
// A path that exists and is not a regular file (a device such as /dev/full,
// a named pipe, a socket, a folder, or a link to one) is refused before the
// temporary file is made and again right before the rename: not even root
// replaces a device node with a file.
//
// Every refusal and failure throws kcIOError "cannot write KIND 'path':
// cause", the cause in the system's words where the system gave one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Refuses path when it exists and is not a regular file, or when its
// folder is missing or not a folder; makes nothing. For commands that check
// their outputs before long work.
void kfCheckOutputFile(const std::string& path, const std::string& kind);

// Writes path as a whole from bytes.
void kfWriteOutputFile(const std::string& path, const std::string& kind, std::string_view bytes);

// An output file written in pieces: the temporary file is made when the
// object is, and replaces the target on commit(). Destroyed uncommitted,
// it removes the temporary file and leaves the target alone.
class kcOutputFile {
 public:
  kcOutputFile(const std::string& path, const std::string& kind);
  kcOutputFile(const kcOutputFile&) = delete;
  kcOutputFile& operator=(const kcOutputFile&) = delete;
  ~kcOutputFile();

  // Throws at the first failed write; the file can then only be discarded.
  void write(const void* data, std::size_t n);
  // Flushes, forces the data to the disk and renames the file into place.
  void commit();
  // Removes the temporary file; the target stays as it was.
  void discard() noexcept;

 private:
  void flush();
  [[noreturn]] void fail(const std::string& cause);

  std::string target_;  // the path the file goes to, through a link to a regular file
  std::string kind_;
  std::string shownPath_;  // the path as given, for messages
  std::string temporary_;
  int fd_ = -1;
  std::vector<unsigned char> buffer_;
  bool failed_ = false;
};
