#include "colc/colorcal.h"

#include <cstdint>
#include <string>
#include <utility>

#include "colc/host/exceptions.h"

namespace {

// Version errors of the record layouts name this source and one fixed line
// per layout. The numbers identify which layout was refused; they are part
// of the archive's contract and do not move when this file changes.
constexpr const char* kSource = "colc/colorcal";
constexpr int kParamsVersionLine = 85;
constexpr int kChannelResultVersionLine = 141;
constexpr int kResultVersionLine = 158;

// Every level starts with a version byte, written 0; a reader knows no other.
void versionByte(kcArchive& ar, const char* file, int line) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw kcArchive::UnknownVersion(file, line);
}

// Writing passes the record itself. Reading fills a fresh record and hands
// it over only when the whole layout has been read, so a truncated or
// corrupt archive leaves the caller's record as it was.
template <class Record, class Layout>
kcArchive& passRecord(kcArchive& ar, Record& record, Layout layout) {
  if (ar.isWriting()) {
    layout(record);
    return ar;
  }
  Record staged;
  layout(staged);
  record = std::move(staged);
  return ar;
}

// The fewest bytes a stored channel result can take: one with an empty pel
// map. Measured once through the archive itself rather than restating the
// host's byte layout here.
std::uint64_t smallestChannelResultBytes() {
  static const std::uint64_t bytes = [] {
    kcMemoryArchive ar;
    kcColorCalibrationChannelResult identity;
    ar || identity;
    return static_cast<std::uint64_t>(ar.data().size());
  }();
  return bytes;
}

void channelResultVector(kcArchive& ar, std::vector<kcColorCalibrationChannelResult>& results) {
  versionByte(ar, nullptr, 0);
  unsigned long count = results.size();
  ar || count;
  if (ar.isReading()) {
    // Refused before resizing: a corrupt count must not allocate billions of records.
    if (count > ar.bytesLeft() / smallestChannelResultBytes())
      throw kcArchive::BadData("a vector of " + std::to_string(count) + " channel results, but only " +
                               std::to_string(ar.bytesLeft()) + " bytes are left");
    results.resize(count);
  }
  for (kcColorCalibrationChannelResult& result : results) ar || result;
}

}  // namespace

kcArchive& operator||(kcArchive& ar, kcColorCalibrationParams& params) {
  return passRecord(ar, params, [&ar](kcColorCalibrationParams& p) {
    versionByte(ar, kSource, kParamsVersionLine);
    ar || p.isExposureEnabled_ || p.isContrastEnabled_ || p.isBrightnessEnabled_ || p.minExposureStepSize_ ||
        p.exposureRange_ || p.usePositive8BitLut_ || p.allowPelMapping_;
  });
}

kcArchive& operator||(kcArchive& ar, kcColorCalibrationChannelResult& result) {
  return passRecord(ar, result, [&ar](kcColorCalibrationChannelResult& r) {
    versionByte(ar, kSource, kChannelResultVersionLine);
    ar || r.gain_ || r.offset_ || r.rmsError_ || r.pelmap_;
    // The map is kept as stored (it is not rebuilt from gain and offset),
    // but only a map that can be applied is accepted.
    if (ar.isReading() && !r.pelmap_.empty() && r.pelmap_.size() != 256)
      throw kcArchive::BadData("a pel map of " + std::to_string(r.pelmap_.size()) + " entries");
  });
}

kcArchive& operator||(kcArchive& ar, kcColorCalibrationResult& result) {
  return passRecord(ar, result, [&ar](kcColorCalibrationResult& r) {
    versionByte(ar, kSource, kResultVersionLine);
    ar || r.exposure_ || r.contrast_ || r.brightness_ || r.positive8BitLut_ || r.acqInfo_;
    channelResultVector(ar, r.channelResults_);
  });
}
