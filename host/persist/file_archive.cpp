#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"
#include "host/persist/file_container.h"
#include "host/runtime/regular_file.h"

namespace {

std::string errorText(int error) { return std::system_category().message(error); }

// Creates a new temporary file in the target's directory, so that the
// final rename stays on one file system and is atomic. The name carries
// the process id and a counter; a stale file of an earlier process with
// the same id is skipped by trying the next counter value.
std::FILE* createTemporaryBeside(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  int error = 0;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tempPath = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    // Mode 0666 lets the umask decide the permissions, as for any new file.
    fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = errno;
    if (fd < 0 && error != EEXIST) break;
  }
  if (fd < 0) throw kcIOError("cannot create a temporary file to write " + path + ": " + errorText(error));
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    error = errno;
    ::close(fd);
    std::remove(tempPath.c_str());
    throw kcIOError("cannot write " + path + ": " + errorText(error));
  }
  return file;
}

}  // namespace

kcFileArchive::kcFileArchive(const std::string& path, Direction direction)
    : kcArchive(direction), path_(path), uncaughtOnOpen_(std::uncaught_exceptions()) {
  if (isReading()) {
    readData_ = kfArchiveBytesOfFile(kfReadRegularFile(path_, kMaxFileBytes, "archive"), path_);
  } else {
    file_ = createTemporaryBeside(path_, tempPath_);
    writeFramed(kArchiveFileMark, sizeof kArchiveFileMark);
  }
}

kcFileArchive::~kcFileArchive() noexcept(false) {
  if (!isWriting() || closed_) return;
  // Commit only when this scope ends normally. An exception that started
  // after the archive was opened, or a write that already failed (file_ is
  // then gone and the caller has had its kcIOError), discards the file.
  if (file_ != nullptr && std::uncaught_exceptions() <= uncaughtOnOpen_)
    close();
  else
    discard();
}

void kcFileArchive::close() {
  if (closed_ || isReading()) {
    closed_ = true;
    return;
  }
  closed_ = true;
  if (file_ == nullptr) throw kcIOError(path_ + " was not written: an earlier write failed");
  unsigned char checksum[kArchiveChecksumBytes];
  for (std::size_t i = 0; i < kArchiveChecksumBytes; ++i)
    checksum[i] = static_cast<unsigned char>(checksum_ >> (8 * i));
  writeRaw(checksum, sizeof checksum);
  int error = 0;
  if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) error = errno;
  if (std::fclose(file_) != 0 && error == 0) error = errno;
  file_ = nullptr;
  if (error == 0 && std::rename(tempPath_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    discard();
    throw kcIOError("cannot write " + path_ + ": " + errorText(error));
  }
}

std::uint64_t kcFileArchive::bytesLeft() const { return isReading() ? readData_.size() - position_ : 0; }

void kcFileArchive::writeBytes(const void* data, std::size_t n) { writeFramed(data, n); }

void kcFileArchive::writeFramed(const void* data, std::size_t n) {
  writeRaw(data, n);
  checksum_ = kfArchiveChecksum(checksum_, data, n);
}

void kcFileArchive::writeRaw(const void* data, std::size_t n) {
  if (file_ == nullptr)
    throw kcIOError("cannot write " + path_ + ": " +
                    (closed_ ? std::string("the archive is closed") : std::string("an earlier write failed")));
  if (std::fwrite(data, 1, n, file_) != n) {
    const int error = errno;
    discard();
    throw kcIOError("cannot write " + path_ + ": " + errorText(error));
  }
}

void kcFileArchive::readBytes(void* data, std::size_t n) {
  if (n == 0) return;  // the data of an empty file may be a null pointer
  std::memcpy(data, readData_.data() + position_, n);
  position_ += n;
}

void kcFileArchive::discard() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!tempPath_.empty()) std::remove(tempPath_.c_str());
  tempPath_.clear();
}
