#include <cstring>
#include <exception>
#include <string>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"
#include "host/persist/file_container.h"
#include "host/runtime/output_file.h"
#include "host/runtime/regular_file.h"

namespace {

constexpr const char* kKind = "archive";

}  // namespace

kcFileArchive::kcFileArchive(const std::string& path, Direction direction)
    : kcArchive(direction), path_(path), uncaughtOnOpen_(std::uncaught_exceptions()) {
  if (isReading()) {
    readData_ = kfArchiveBytesOfFile(kfReadRegularFile(path_, kMaxFileBytes, kKind), path_);
  } else {
    file_ = std::make_unique<kcOutputFile>(path_, kKind);
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
  unsigned char checksum[kArchiveChecksumBytes];
  for (std::size_t i = 0; i < kArchiveChecksumBytes; ++i)
    checksum[i] = static_cast<unsigned char>(checksum_ >> (8 * i));
  try {
    writeRaw(checksum, sizeof checksum);
    file_->commit();
  } catch (...) {
    closed_ = true;
    discard();
    throw;
  }
  closed_ = true;
  file_.reset();
}

std::uint64_t kcFileArchive::bytesLeft() const { return isReading() ? readData_.size() - position_ : 0; }

void kcFileArchive::writeBytes(const void* data, std::size_t n) { writeFramed(data, n); }

void kcFileArchive::writeFramed(const void* data, std::size_t n) {
  writeRaw(data, n);
  checksum_ = kfArchiveChecksum(checksum_, data, n);
}

void kcFileArchive::writeRaw(const void* data, std::size_t n) {
  if (file_ == nullptr)
    throw kcIOError("cannot write " + std::string(kKind) + " '" + path_ + "': " +
                    (closed_ ? std::string("the archive is closed") : std::string("an earlier write failed")));
  try {
    file_->write(data, n);
  } catch (...) {
    discard();
    throw;
  }
}

void kcFileArchive::readBytes(void* data, std::size_t n) {
  if (n == 0) return;  // the data of an empty file may be a null pointer
  std::memcpy(data, readData_.data() + position_, n);
  position_ += n;
}

void kcFileArchive::discard() noexcept { file_.reset(); }
