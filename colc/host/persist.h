// Host persistence: persistent objects, the table of persistent classes and
// the archive stream that writes or reads values with one symmetric operator||.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

class kcArchive;
class kcOutputFile;

// Base of every object that an archive can carry and rebuild by class name.
// Each level of a class hierarchy serialises its own part in
// dispatchSerialize and then calls its base's; haveVisited/setVisited let
// every level run once per archive pass even when several paths reach it.
class kcPersistent {
 public:
  virtual ~kcPersistent();

  // True when (object, key) has already been handled in the archive pass
  // that is running on this thread. Outside a pass nothing is remembered.
  static bool haveVisited(const void* object, std::size_t key);
  static void setVisited(const void* object, std::size_t key);

 protected:
  kcPersistent() = default;
  kcPersistent(const kcPersistent&) = default;
  kcPersistent& operator=(const kcPersistent&) = default;

  friend class kcArchive;
  virtual void dispatchSerialize(kcArchive& ar);
  virtual void reInit();
  virtual bool loadSimple(kcArchive& ar);
};

// Enters a class into the table of persistent classes while it lives, so an
// archive can make a default object of it from its stored class name.
class kc_Instantiator {
 public:
  using Factory = kcPersistent* (*)();
  kc_Instantiator(const std::type_info& type, Factory make);
  ~kc_Instantiator();
  kc_Instantiator(const kc_Instantiator&) = delete;
  kc_Instantiator& operator=(const kc_Instantiator&) = delete;

  // The readable class name ("kcColorCalibrationDefs::BadImages").
  static std::string className(const std::type_info& type);
  // The factory registered under a class name, or null.
  static Factory find(const std::string& className);

 private:
  std::string name_;
};

// The persistence stream. The byte layout is fixed little-endian and is
// described in docs/archive-format.md. A reader never trusts the data: a
// truncated or corrupt archive throws kcArchive::EndOfData or
// kcArchive::BadData, and a stored length larger than the bytes left is
// refused before anything is allocated.
class kcArchive {
 public:
  enum Direction { read, write };
  class UnknownVersion;
  class EndOfData;
  class BadData;

  virtual ~kcArchive() noexcept(false);
  kcArchive(const kcArchive&) = delete;
  kcArchive& operator=(const kcArchive&) = delete;

  Direction direction() const { return direction_; }
  bool isReading() const { return direction_ == read; }
  bool isWriting() const { return direction_ == write; }

  // Moves n raw bytes: out of data when writing, into data when reading.
  void bytes(void* data, std::size_t n);
  // Bytes not yet read (reading only; 0 when writing).
  virtual std::uint64_t bytesLeft() const = 0;

  // Writes an object with its class name, or reads the class name, makes
  // the object from the table of persistent classes and reads it.
  void writeObject(kcPersistent& object);
  std::unique_ptr<kcPersistent> readObject();

 protected:
  explicit kcArchive(Direction direction) : direction_(direction) {}
  virtual void writeBytes(const void* data, std::size_t n) = 0;
  virtual void readBytes(void* data, std::size_t n) = 0;

 private:
  Direction direction_;
};

// The values an archive carries. Each writes when the archive writes and
// reads when it reads, and returns the archive so that calls chain.
kcArchive& operator||(kcArchive& ar, bool& value);
kcArchive& operator||(kcArchive& ar, unsigned char& value);
kcArchive& operator||(kcArchive& ar, long& value);           // 32-bit signed on the wire
kcArchive& operator||(kcArchive& ar, unsigned long& value);  // 32-bit unsigned on the wire
kcArchive& operator||(kcArchive& ar, double& value);
kcArchive& operator||(kcArchive& ar, std::string& value);
kcArchive& operator||(kcArchive& ar, std::vector<unsigned char>& value);

// An archive in memory.
class kcMemoryArchive : public kcArchive {
 public:
  // An empty archive to write into.
  kcMemoryArchive();
  // An archive that reads the given bytes.
  explicit kcMemoryArchive(std::vector<unsigned char> bytes);

  const std::vector<unsigned char>& data() const { return data_; }
  std::uint64_t bytesLeft() const override;

 protected:
  void writeBytes(const void* data, std::size_t n) override;
  void readBytes(void* data, std::size_t n) override;

 private:
  std::vector<unsigned char> data_;
  std::size_t position_ = 0;
};

// An archive in a file. The file holds the archive's bytes between a mark
// and a checksum (docs/archive-format.md). Reading loads the whole file
// when opened and refuses a file whose checksum does not match with
// kcArchive::BadData; a file written without the mark and the checksum is
// read as it is. Only regular files of at most kMaxFileBytes bytes are
// read; anything else is a kcIOError. Writing goes to a temporary file
// beside the target, which replaces the target only when the archive is
// closed without an exception in flight: a failed write never leaves a
// half-written file behind. Only a regular file or a new path is written:
// a device, a named pipe or a folder is refused when the archive is opened.
class kcFileArchive : public kcArchive {
 public:
  static constexpr std::uint64_t kMaxFileBytes = 64u << 20;

  kcFileArchive(const std::string& path, Direction direction);
  // Commits a written file. Throws kcIOError when the file cannot be
  // completed, unless an exception is already propagating (then the
  // temporary file is discarded).
  ~kcFileArchive() noexcept(false) override;

  // Commits a written file now (idempotent); throws kcIOError on failure.
  void close();
  std::uint64_t bytesLeft() const override;

 protected:
  void writeBytes(const void* data, std::size_t n) override;
  void readBytes(void* data, std::size_t n) override;

 private:
  void discard() noexcept;
  // Writes bytes that the checksum covers, or that it does not (the checksum itself).
  void writeFramed(const void* data, std::size_t n);
  void writeRaw(const void* data, std::size_t n);

  std::string path_;
  std::unique_ptr<kcOutputFile> file_;  // while writing, until closed or a write failed
  std::vector<unsigned char> readData_;
  std::size_t position_ = 0;
  bool closed_ = false;
  std::uint32_t checksum_ = 0;
  // std::uncaught_exceptions() when the archive was opened: a higher count
  // in the destructor means an exception is leaving the archive's scope.
  int uncaughtOnOpen_ = 0;
};
