#include "host/runtime/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "colc/host/exceptions.h"

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

std::string systemCause(int error) { return std::strerror(error); }

kcIOError refusal(const std::string& path, const std::string& kind, const std::string& cause) {
  return kcIOError("cannot write " + kind + " '" + path + "': " + cause);
}

std::string nodeKind(mode_t mode) {
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "of an unknown kind";
}

// Why path may not be replaced: empty when it is a regular file (through
// links) or does not exist. mode receives a regular file's permissions.
std::string whyNotReplaceable(const std::string& path, std::optional<mode_t>* mode = nullptr) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return errno == ENOENT ? "" : systemCause(errno);
  if (S_ISDIR(status.st_mode)) return "it is a folder";
  if (!S_ISREG(status.st_mode)) return "it is not a regular file but " + nodeKind(status.st_mode);
  if (mode != nullptr) *mode = status.st_mode & 07777;
  return "";
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write to path replaces: the regular file a symbolic link
// names, so that the link stays; path itself otherwise.
std::string replacedFile(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;  // a dangling link is replaced by the file
  std::string target = resolved;
  std::free(resolved);
  return target;
}

}  // namespace

void kfCheckOutputFile(const std::string& path, const std::string& kind) {
  if (const std::string why = whyNotReplaceable(path); !why.empty()) throw refusal(path, kind, why);
  const std::string folder = folderOf(replacedFile(path));
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0)
    throw refusal(path, kind, "its folder '" + folder + "' cannot be used: " + systemCause(errno));
  if (!S_ISDIR(status.st_mode)) throw refusal(path, kind, "'" + folder + "' is not a folder");
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    throw refusal(path, kind, "its folder '" + folder + "' is not writable: " + systemCause(errno));
}

void kfWriteOutputFile(const std::string& path, const std::string& kind, std::string_view bytes) {
  kcOutputFile file(path, kind);
  file.write(bytes.data(), bytes.size());
  file.commit();
}

kcOutputFile::kcOutputFile(const std::string& path, const std::string& kind)
    : target_(replacedFile(path)), kind_(kind), shownPath_(path) {
  if (const std::string why = whyNotReplaceable(path); !why.empty()) throw refusal(shownPath_, kind_, why);
  // A name of its own per process and object; one left by an earlier
  // process with the same id is skipped.
  static std::atomic<unsigned> counter{0};
  int error = 0;
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = target_ + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    // Mode 0666 lets the umask decide a new file's permissions.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = errno;
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) throw refusal(shownPath_, kind_, "cannot create a temporary file beside it: " + systemCause(error));
  buffer_.reserve(kBufferBytes);
}

kcOutputFile::~kcOutputFile() { discard(); }

void kcOutputFile::write(const void* data, std::size_t n) {
  if (fd_ < 0) throw refusal(shownPath_, kind_, failed_ ? "an earlier write failed" : "the file is closed");
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (buffer_.size() + n > kBufferBytes) flush();
  if (n >= kBufferBytes) {
    buffer_.assign(bytes, bytes + n);
    flush();
  } else {
    buffer_.insert(buffer_.end(), bytes, bytes + n);
  }
}

void kcOutputFile::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(systemCause(errno));
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void kcOutputFile::commit() {
  if (fd_ < 0) throw refusal(shownPath_, kind_, failed_ ? "an earlier write failed" : "the file is closed");
  flush();
  if (::fsync(fd_) != 0) fail(systemCause(errno));
  // Checked again as late as possible: the path may have changed while
  // the file was written.
  std::optional<mode_t> mode;
  if (const std::string why = whyNotReplaceable(target_, &mode); !why.empty()) fail(why);
  if (mode && ::fchmod(fd_, *mode) != 0) fail(systemCause(errno));
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) fail(systemCause(errno));
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail(systemCause(errno));
  temporary_.clear();
}

void kcOutputFile::fail(const std::string& cause) {
  failed_ = true;
  discard();
  throw refusal(shownPath_, kind_, cause);
}

void kcOutputFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  buffer_.clear();
}
