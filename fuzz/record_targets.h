// Fuzz targets that read the calibration records and the error objects
// from arbitrary bytes, as they would from a damaged or hostile archive.
//
// Promises checked beyond "no crash, no leak, only kcException":
//   - a refused read leaves the caller's record exactly as it was;
//   - a record that reads writes back to as many bytes as it consumed, and
//     those bytes read back to the very same record (compared as bytes, so
//     that a not-a-number compares equal to itself);
//   - an error object keeps its class, number and message through an
//     archive and through suicideAndRethrow.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "colc/colorcal.h"
#include "colc/records/errors.h"
#include "fuzz/fuzz_check.h"

template <class Record>
std::vector<unsigned char> fuzzArchived(Record record) {
  kcMemoryArchive out;
  out || record;
  return out.data();
}

template <class Record>
void fuzzRecordArchive(std::span<const std::uint8_t> data, const Record& sentinel) {
  kcMemoryArchive in(std::vector<unsigned char>(data.begin(), data.end()));
  Record record = sentinel;
  try {
    in || record;
  } catch (const kcException&) {
    fuzzCheck(fuzzArchived(record) == fuzzArchived(sentinel), "a refused read changed the record");
    return;
  }
  const std::vector<unsigned char> written = fuzzArchived(record);
  fuzzCheck(written.size() == data.size() - in.bytesLeft(), "a record wrote back to another length than it read");
  kcMemoryArchive again(written);
  Record reread = sentinel;
  again || reread;
  fuzzCheck(again.bytesLeft() == 0 && fuzzArchived(reread) == written, "a written record read back differently");
}

inline void fuzzParamsArchive(std::span<const std::uint8_t> data) {
  kcColorCalibrationParams sentinel;
  sentinel.isContrastEnabled(false);
  sentinel.minExposureStepSize(0.125);
  sentinel.exposureRange({0.002, 0.04});
  sentinel.allowPelMapping(false);
  fuzzRecordArchive(data, sentinel);
}

inline kcColorCalibrationChannelResult fuzzChannelSentinel(double gain, double offset) {
  kcColorCalibrationChannelResult channel;
  channel.init(gain, offset, 1.5);
  return channel;
}

inline void fuzzChannelResultArchive(std::span<const std::uint8_t> data) {
  fuzzRecordArchive(data, fuzzChannelSentinel(0.75, 12.0));
}

inline void fuzzResultArchive(std::span<const std::uint8_t> data) {
  kcColorCalibrationResult sentinel;
  sentinel.exposure(0.02);
  sentinel.brightness(0.25);
  kcAcquireInfo info;
  info.failure(kcAcqFailure(kcAcqFailure::eTimedOut, "sentinel"));
  info.sequence(3);
  sentinel.acqInfo(info);
  sentinel.channelResults({fuzzChannelSentinel(0.75, 12.0), fuzzChannelSentinel(1.0, 0.0)});
  fuzzRecordArchive(data, sentinel);
}

inline std::vector<unsigned char> fuzzWrittenObject(kcPersistent& object) {
  kcMemoryArchive out;
  out.writeObject(object);
  return out.data();
}

inline void fuzzErrorObject(std::span<const std::uint8_t> data) {
  kcMemoryArchive in(std::vector<unsigned char>(data.begin(), data.end()));
  std::unique_ptr<kcPersistent> object;
  try {
    object = in.readObject();
  } catch (const kcException&) {
    return;
  }
  fuzzCheck(object != nullptr, "readObject returned no object");
  const std::vector<unsigned char> written = fuzzWrittenObject(*object);
  fuzzCheck(written.size() == data.size() - in.bytesLeft(), "an object wrote back to another length than it read");
  kcMemoryArchive again(written);
  const std::unique_ptr<kcPersistent> reread = again.readObject();
  const kcPersistent& first = *object;
  kcPersistent& second = *reread;
  fuzzCheck(typeid(second) == typeid(first) && fuzzWrittenObject(second) == written,
            "a written object read back differently");

  auto* error = dynamic_cast<kcColorCalibrationDefs::Errors*>(object.get());
  if (error == nullptr) return;  // another persistent class of the table
  const bool badParams = dynamic_cast<kcColorCalibrationDefs::BadParams*>(error) != nullptr;
  fuzzCheck(error->errorNumber() == (badParams ? 268473088 : 268473089), "an error read back with another number");
  const std::string text = error->text();
  // what() is the message as a C string: it ends at a zero byte the stored message may hold.
  const std::string message = error->message();
  fuzzCheck(message.ends_with(text) && message.starts_with(error->what()), "the message was lost");
  const std::type_info& type = typeid(*error);
  static_cast<void>(object.release());  // suicideAndRethrow deletes it
  try {
    error->suicideAndRethrow();
  } catch (const kcColorCalibrationDefs::Errors& thrown) {
    fuzzCheck(typeid(thrown) == type && thrown.text() == text, "suicideAndRethrow threw another error");
  }
}
