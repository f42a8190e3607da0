#include "colc/records/calibration_context.h"

#include "colc/host/exceptions.h"

namespace {
constexpr const char* kClassName = kcCalibrationContext::kClassName;
}  // namespace

bool kcCalibrationContext::operator==(const kcCalibrationContext& o) const {
  return cameraVendor == o.cameraVendor && cameraModel == o.cameraModel && cameraSerial == o.cameraSerial &&
         cameraFirmware == o.cameraFirmware && pelFormat == o.pelFormat && regionX == o.regionX &&
         regionY == o.regionY && regionWidth == o.regionWidth && regionHeight == o.regionHeight &&
         photo == o.photo && date == o.date && referenceSha256 == o.referenceSha256 &&
         colcVersion == o.colcVersion && search == o.search && hasColourError == o.hasColourError &&
         colourErrorMean == o.colourErrorMean && colourErrorMax == o.colourErrorMax;
}

bool kcCalibrationContext::sameCamera(const kcCalibrationContext& other) const {
  return cameraVendor == other.cameraVendor && cameraModel == other.cameraModel && cameraSerial == other.cameraSerial;
}

kcArchive& operator||(kcArchive& ar, kcCalibrationContext& context) {
  std::string className = kClassName;
  ar || className;
  if (ar.isReading() && className != kClassName)
    throw kcArchive::BadData("a '" + className + "' where a " + kClassName + " was expected");
  return kfArchiveAfterClassName(ar, context);
}

kcArchive& kfArchiveAfterClassName(kcArchive& ar, kcCalibrationContext& context) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw kcArchive::UnknownVersion(kClassName, 0);

  // Read into a copy first: a truncated or corrupt record leaves the caller's as it was.
  kcCalibrationContext staged = context;
  ar || staged.cameraVendor || staged.cameraModel || staged.cameraSerial || staged.cameraFirmware ||
      staged.pelFormat || staged.regionX || staged.regionY || staged.regionWidth || staged.regionHeight ||
      staged.photo || staged.date || staged.referenceSha256 || staged.colcVersion || staged.search ||
      staged.hasColourError || staged.colourErrorMean || staged.colourErrorMax;
  if (ar.isReading()) context = staged;
  return ar;
}
