#include "colc/host/exceptions.h"

#include <sstream>
#include <typeinfo>

kcException& kcException::operator=(const kcException& other) {
  kcPersistent::operator=(other);
  std::exception::operator=(other);
  return *this;
}

kcException::~kcException() = default;

std::string kcException::message() const {
  std::ostringstream details;
  message_(details);
  const std::string name = kc_Instantiator::className(typeid(*this));
  return details.str().empty() ? name : name + ": " + details.str();
}

const char* kcException::what() const noexcept {
  try {
    what_ = message();
  } catch (...) {
    return "kcException";
  }
  return what_.c_str();
}

void kcException::message_(std::ostream&) const {}

// The message-less base adds nothing to an archive.
void kcException::dispatchSerialize(kcArchive&) {}

void kcExceptionWithString::message_(std::ostream& os) const { os << text_; }

void kcExceptionWithString::dispatchSerialize(kcArchive& ar) {
  if (haveVisited(this, sizeof(kcExceptionWithString))) return;
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw kcArchive::UnknownVersion("kcExceptionWithString", 0);
  ar || text_;
  kcException::dispatchSerialize(ar);
  setVisited(this, sizeof(kcExceptionWithString));
}

namespace {
std::string unknownVersionText(const char* file, int line) {
  return std::string("unknown version in ") + (file ? file : "(no file)") + " line " + std::to_string(line);
}
}  // namespace

kcArchive::UnknownVersion::UnknownVersion(const char* file, int line)
    : kcExceptionWithString(unknownVersionText(file, line)), file_(file ? file : ""), hasFile_(file != nullptr),
      line_(line) {}
