// The module's two exceptions, under their abstract base. They are
// persistent: an archive can carry them and rebuild them by class name.
#pragma once

#include <string>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"

class kcColorCalibrationDefs {
 public:
  class Errors;
  class BadParams;
  class BadImages;
};

class kcColorCalibrationDefs::Errors : public kcExceptionWithString {
 public:
  Errors(const Errors& other);
  Errors& operator=(const Errors& other);
  ~Errors() override;

  virtual long errorNumber() const = 0;
  // For an object made on the heap: deletes it and throws a copy of it.
  [[noreturn]] virtual void suicideAndRethrow() = 0;

 protected:
  explicit Errors(const std::string& message = "");
  void dispatchSerialize(kcArchive& ar) override;
  void serialize_(kcArchive& ar, unsigned char version);
};

// A caller passed parameters that cannot be used.
class kcColorCalibrationDefs::BadParams : public kcColorCalibrationDefs::Errors {
 public:
  explicit BadParams(const std::string& message = "");
  BadParams(const BadParams& other);
  BadParams& operator=(const BadParams& other);
  ~BadParams() override;

  long errorNumber() const override;  // 268473088
  [[noreturn]] void suicideAndRethrow() override;

 protected:
  void dispatchSerialize(kcArchive& ar) override;
  void serialize_(kcArchive& ar, unsigned char version);

 private:
  static kcPersistent* make();
  static kc_Instantiator sExemplar;
};

// The images do not allow the operation.
class kcColorCalibrationDefs::BadImages : public kcColorCalibrationDefs::Errors {
 public:
  explicit BadImages(const std::string& message = "");
  BadImages(const BadImages& other);
  BadImages& operator=(const BadImages& other);
  ~BadImages() override;

  long errorNumber() const override;  // 268473089
  [[noreturn]] void suicideAndRethrow() override;

 protected:
  void dispatchSerialize(kcArchive& ar) override;
  void serialize_(kcArchive& ar, unsigned char version);

 private:
  static kcPersistent* make();
  static kc_Instantiator sExemplar;
};
