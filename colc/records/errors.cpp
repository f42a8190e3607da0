#include "colc/records/errors.h"

#include <typeinfo>

namespace {

// One level of an error class in an archive: a version byte (written 0)
// and the level's body, run once per archive pass however often the
// level is reached.
template <class Body>
void serializeLevel(const void* object, std::size_t key, kcArchive& ar, Body body) {
  if (kcPersistent::haveVisited(object, key)) return;
  unsigned char version = 0;
  ar || version;
  body(version);
  kcPersistent::setVisited(object, key);
}

// The error levels name their class in place of a source file.
void checkVersion(unsigned char version, const char* className) {
  if (version != 0) throw kcArchive::UnknownVersion(className, 0);
}

}  // namespace

// Errors

kcColorCalibrationDefs::Errors::Errors(const std::string& message) : kcExceptionWithString(message) {}

kcColorCalibrationDefs::Errors::Errors(const Errors& other) = default;

kcColorCalibrationDefs::Errors& kcColorCalibrationDefs::Errors::operator=(const Errors& other) {
  kcExceptionWithString::operator=(other);
  return *this;
}

kcColorCalibrationDefs::Errors::~Errors() = default;

void kcColorCalibrationDefs::Errors::dispatchSerialize(kcArchive& ar) {
  serializeLevel(this, sizeof(*this), ar, [&](unsigned char version) { serialize_(ar, version); });
}

void kcColorCalibrationDefs::Errors::serialize_(kcArchive& ar, unsigned char version) {
  checkVersion(version, "kcColorCalibrationDefs::Errors");
  kcExceptionWithString::dispatchSerialize(ar);
}

// BadParams

kc_Instantiator kcColorCalibrationDefs::BadParams::sExemplar(typeid(kcColorCalibrationDefs::BadParams),
                                                             &kcColorCalibrationDefs::BadParams::make);

kcColorCalibrationDefs::BadParams::BadParams(const std::string& message) : Errors(message) {}

kcColorCalibrationDefs::BadParams::BadParams(const BadParams& other) = default;

kcColorCalibrationDefs::BadParams& kcColorCalibrationDefs::BadParams::operator=(const BadParams& other) {
  Errors::operator=(other);
  return *this;
}

kcColorCalibrationDefs::BadParams::~BadParams() = default;

long kcColorCalibrationDefs::BadParams::errorNumber() const { return 268473088; }  // 0x10009300

void kcColorCalibrationDefs::BadParams::suicideAndRethrow() {
  const BadParams local(*this);
  delete this;
  throw local;
}

kcPersistent* kcColorCalibrationDefs::BadParams::make() { return new BadParams; }

void kcColorCalibrationDefs::BadParams::dispatchSerialize(kcArchive& ar) {
  serializeLevel(this, sizeof(*this), ar, [&](unsigned char version) { serialize_(ar, version); });
}

void kcColorCalibrationDefs::BadParams::serialize_(kcArchive& ar, unsigned char version) {
  checkVersion(version, "kcColorCalibrationDefs::BadParams");
  Errors::dispatchSerialize(ar);
}

// BadImages

kc_Instantiator kcColorCalibrationDefs::BadImages::sExemplar(typeid(kcColorCalibrationDefs::BadImages),
                                                             &kcColorCalibrationDefs::BadImages::make);

kcColorCalibrationDefs::BadImages::BadImages(const std::string& message) : Errors(message) {}

kcColorCalibrationDefs::BadImages::BadImages(const BadImages& other) = default;

kcColorCalibrationDefs::BadImages& kcColorCalibrationDefs::BadImages::operator=(const BadImages& other) {
  Errors::operator=(other);
  return *this;
}

kcColorCalibrationDefs::BadImages::~BadImages() = default;

long kcColorCalibrationDefs::BadImages::errorNumber() const { return 268473089; }  // 0x10009301

void kcColorCalibrationDefs::BadImages::suicideAndRethrow() {
  const BadImages local(*this);
  delete this;
  throw local;
}

kcPersistent* kcColorCalibrationDefs::BadImages::make() { return new BadImages; }

void kcColorCalibrationDefs::BadImages::dispatchSerialize(kcArchive& ar) {
  serializeLevel(this, sizeof(*this), ar, [&](unsigned char version) { serialize_(ar, version); });
}

void kcColorCalibrationDefs::BadImages::serialize_(kcArchive& ar, unsigned char version) {
  checkVersion(version, "kcColorCalibrationDefs::BadImages");
  Errors::dispatchSerialize(ar);
}
