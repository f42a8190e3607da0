#include <cstring>
#include <limits>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"
#include "host/persist/archive_pass.h"

// Every value is stored little-endian, whatever the machine; the layout is
// described in docs/archive-format.md.

namespace {

template <class U>
void putLittleEndian(kcArchive& ar, U value) {
  unsigned char bytes[sizeof(U)];
  for (std::size_t i = 0; i < sizeof(U); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  ar.bytes(bytes, sizeof(U));
}

template <class U>
U getLittleEndian(kcArchive& ar) {
  unsigned char bytes[sizeof(U)];
  ar.bytes(bytes, sizeof(U));
  U value = 0;
  for (std::size_t i = 0; i < sizeof(U); ++i) value |= static_cast<U>(bytes[i]) << (8 * i);
  return value;
}

// A length-prefixed run of bytes (strings and byte vectors).
template <class Container>
void lengthPrefixed(kcArchive& ar, Container& value, const char* what) {
  if (ar.isWriting()) {
    if (value.size() > std::numeric_limits<std::uint32_t>::max())
      throw kcBadArgument(std::string(what) + " too long for an archive");
    putLittleEndian<std::uint32_t>(ar, static_cast<std::uint32_t>(value.size()));
    if (!value.empty()) ar.bytes(value.data(), value.size());
    return;
  }
  const std::uint32_t n = getLittleEndian<std::uint32_t>(ar);
  if (n > ar.bytesLeft())
    throw kcArchive::BadData(std::string(what) + " of " + std::to_string(n) + " bytes, but only " +
                             std::to_string(ar.bytesLeft()) + " bytes are left");
  Container read(n, '\0');
  if (n != 0) ar.bytes(read.data(), n);
  value.swap(read);
}

}  // namespace

kcArchive::~kcArchive() noexcept(false) = default;

void kcArchive::bytes(void* data, std::size_t n) {
  if (isWriting()) {
    writeBytes(data, n);
    return;
  }
  if (n > bytesLeft())
    throw EndOfData("archive ends after " + std::to_string(bytesLeft()) + " more bytes, " + std::to_string(n) +
                    " needed");
  readBytes(data, n);
}

void kcArchive::writeObject(kcPersistent& object) {
  if (!isWriting()) throw kcBadArgument("writeObject on an archive that reads");
  std::string name = kc_Instantiator::className(typeid(object));
  if (kc_Instantiator::find(name) == nullptr)
    throw kcBadArgument("class " + name + " is not in the table of persistent classes");
  kcArchivePass pass;
  *this || name;
  object.dispatchSerialize(*this);
}

std::unique_ptr<kcPersistent> kcArchive::readObject() {
  if (!isReading()) throw kcBadArgument("readObject on an archive that writes");
  kcArchivePass pass;
  std::string name;
  *this || name;
  const kc_Instantiator::Factory make = kc_Instantiator::find(name);
  if (make == nullptr) throw BadData("unknown persistent class '" + name + "'");
  std::unique_ptr<kcPersistent> object(make());
  object->dispatchSerialize(*this);
  return object;
}

kcArchive& operator||(kcArchive& ar, bool& value) {
  unsigned char byte = value ? 1 : 0;
  ar || byte;
  if (ar.isReading()) {
    if (byte > 1) throw kcArchive::BadData("a boolean stored as " + std::to_string(byte));
    value = byte == 1;
  }
  return ar;
}

kcArchive& operator||(kcArchive& ar, unsigned char& value) {
  ar.bytes(&value, 1);
  return ar;
}

kcArchive& operator||(kcArchive& ar, long& value) {
  if (ar.isWriting()) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
      throw kcBadArgument("long value " + std::to_string(value) + " does not fit the archive's 32 bits");
    putLittleEndian<std::uint32_t>(ar, static_cast<std::uint32_t>(static_cast<std::int32_t>(value)));
  } else {
    value = static_cast<std::int32_t>(getLittleEndian<std::uint32_t>(ar));
  }
  return ar;
}

kcArchive& operator||(kcArchive& ar, unsigned long& value) {
  if (ar.isWriting()) {
    if (value > std::numeric_limits<std::uint32_t>::max())
      throw kcBadArgument("unsigned long value " + std::to_string(value) + " does not fit the archive's 32 bits");
    putLittleEndian<std::uint32_t>(ar, static_cast<std::uint32_t>(value));
  } else {
    value = getLittleEndian<std::uint32_t>(ar);
  }
  return ar;
}

kcArchive& operator||(kcArchive& ar, double& value) {
  static_assert(sizeof(double) == sizeof(std::uint64_t));
  std::uint64_t bits = 0;
  if (ar.isWriting()) {
    std::memcpy(&bits, &value, sizeof bits);
    putLittleEndian<std::uint64_t>(ar, bits);
  } else {
    bits = getLittleEndian<std::uint64_t>(ar);
    std::memcpy(&value, &bits, sizeof bits);
  }
  return ar;
}

kcArchive& operator||(kcArchive& ar, std::string& value) {
  lengthPrefixed(ar, value, "a string");
  return ar;
}

kcArchive& operator||(kcArchive& ar, std::vector<unsigned char>& value) {
  lengthPrefixed(ar, value, "a byte vector");
  return ar;
}

kcMemoryArchive::kcMemoryArchive() : kcArchive(write) {}

kcMemoryArchive::kcMemoryArchive(std::vector<unsigned char> bytes) : kcArchive(read), data_(std::move(bytes)) {}

std::uint64_t kcMemoryArchive::bytesLeft() const { return isReading() ? data_.size() - position_ : 0; }

void kcMemoryArchive::writeBytes(const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  data_.insert(data_.end(), p, p + n);
}

void kcMemoryArchive::readBytes(void* data, std::size_t n) {
  std::memcpy(data, data_.data() + position_, n);
  position_ += n;
}
