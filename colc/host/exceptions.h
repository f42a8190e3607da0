// Host exception hierarchy. Every failure of the host and of the module is
// one of these; all are persistent objects and std::exceptions, so
// what() gives a readable message.
#pragma once

#include <exception>
#include <ostream>
#include <string>

#include "colc/host/persist.h"

class kcException : public kcPersistent, public std::exception {
 public:
  kcException() = default;
  kcException(const kcException& other) : kcPersistent(other), std::exception(other) {}
  kcException& operator=(const kcException& other);
  ~kcException() override;

  // The readable message: the class name followed by what message_ writes.
  std::string message() const;
  const char* what() const noexcept override;

 protected:
  // Writes the details of this error (nothing for the base).
  virtual void message_(std::ostream& os) const;
  void dispatchSerialize(kcArchive& ar) override;

 private:
  mutable std::string what_;
};

// An exception that carries a message string.
class kcExceptionWithString : public kcException {
 public:
  explicit kcExceptionWithString(const std::string& message = "") : text_(message) {}
  const std::string& text() const { return text_; }

 protected:
  void message_(std::ostream& os) const override;
  // Stores the message string (a version byte, then the string).
  void dispatchSerialize(kcArchive& ar) override;

 private:
  std::string text_;
};

// Dereference of a null handle or an unbound buffer.
class kcBadPointer : public kcExceptionWithString {
 public:
  explicit kcBadPointer(const std::string& message = "null or unbound object") : kcExceptionWithString(message) {}
};

// A host operation was given arguments it cannot work with (sizes that do
// not match, a window outside the pels, a table of the wrong length ...).
class kcBadArgument : public kcExceptionWithString {
 public:
  using kcExceptionWithString::kcExceptionWithString;
};

// A file could not be read or written, or does not hold what it should.
class kcIOError : public kcExceptionWithString {
 public:
  using kcExceptionWithString::kcExceptionWithString;
};

// A wait ran out.
class kcTimeout {
 public:
  class Expired : public kcExceptionWithString {
   public:
    explicit Expired(const std::string& message = "timed out") : kcExceptionWithString(message) {}
  };
};

// The calling thread was asked to stop (see colc/host/runtime.h).
class kcCancelled : public kcExceptionWithString {
 public:
  explicit kcCancelled(const std::string& message = "cancelled") : kcExceptionWithString(message) {}
};

// A reader met a version number it does not know. file may be null.
class kcArchive::UnknownVersion : public kcExceptionWithString {
 public:
  UnknownVersion(const char* file, int line);
  const std::string& file() const { return file_; }
  bool hasFile() const { return hasFile_; }
  int line() const { return line_; }

 private:
  std::string file_;
  bool hasFile_;
  int line_;
};

// The archive ended before a value was complete.
class kcArchive::EndOfData : public kcExceptionWithString {
 public:
  using kcExceptionWithString::kcExceptionWithString;
};

// The archive holds a value that cannot be right (a bool of 7, a length
// beyond the end of the data, an unknown class name ...).
class kcArchive::BadData : public kcExceptionWithString {
 public:
  using kcExceptionWithString::kcExceptionWithString;
};
