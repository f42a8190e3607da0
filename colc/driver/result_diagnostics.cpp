#include "colc/driver/result_diagnostics.h"

#include <cstdio>
#include <string>

#include "colc/driver/acquisition.h"
#include "colc/host/display.h"

namespace {

// One printf-formatted line, however long the value makes it.
template <class T>
std::string formatted(const char* format, T value) {
  const int n = std::snprintf(nullptr, 0, format, value);
  std::string line(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(line.data(), line.size() + 1, format, value);
  return line;
}

}  // namespace

void kfSketchResultText(const kcColorCalibrationResult& result, kcDiagObject* diag, unsigned long diagFlags) {
  if (diagFlags == 0 || diag == nullptr) return;
  // Only ever called right after a record was added; an empty object has
  // nowhere to put the text.
  if (diag->numRecords() == 0) return;
  kcUITablet tablet;
  const kcUIFormat format{-1, 0};
  const auto draw = [&](const std::string& text, double y) {
    tablet.draw(text, kcVector<2>(10.0, y), kcColor::red, kcColor::pass, format, 0);
  };
  draw(formatted("exposure: %8.6f ", result.exposure()), 50.0);
  draw(formatted("contrast: %8.6f ", result.contrast()), 70.0);
  draw(formatted("brightness: %8.6f ", result.brightness()), 90.0);
  draw(formatted("positive8BitLut: %s ", result.positive8BitLut() ? "true" : "false"), 110.0);
  diag->diagRecord(diag->numRecords() - 1).sketch(tablet.sketch(), 0, "Color Calibration Result Text");
}

void kfRecordCalibrationImages(const kcColorCalibrationResult& result, kcPtrHandle<kcAcqImage>& image,
                               kcDiagObject* diag, unsigned long diagFlags) {
  const kc3PlanePelBuffer color = image->get3PlanePelBuffer();

  kcDiagRecord& colorRecord = diag->newDiagRecord();
  colorRecord.image(color, false);
  colorRecord.recordAnnotation("Color image");
  kfSketchResultText(result, diag, diagFlags);

  kcDiagRecord& mappedRecord = diag->newDiagRecord();
  mappedRecord.image(result.pelMapImage(color), false);
  mappedRecord.recordAnnotation("Mapped color image");
  kfSketchResultText(result, diag, diagFlags);

  kcDiagRecord& greyRecord = diag->newDiagRecord();
  greyRecord.image(kfGrey8Image(image), false);
  greyRecord.recordAnnotation("Monochrome image");
  kfSketchResultText(result, diag, diagFlags);
}
