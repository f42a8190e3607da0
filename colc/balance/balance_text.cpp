// One line of text with the fitted numbers, drawn onto the last diagnostics record.
#include <cstdio>
#include <string>

#include "colc/balance/balance.h"
#include "colc/host/display.h"

namespace {

std::string balanceText(const kcColorCalibrationChannelResultInternal& result) {
  static constexpr const char* kFormat = "gain: %8.6f offset: %8.6f rmsError: %8.6f propActive: %8.6f";
  const auto print = [&](char* buffer, std::size_t size) {
    return std::snprintf(buffer, size, kFormat, result.gain(), result.offset(), result.rmsError(),
                         result.proportionActivePels());
  };
  // A number as large as a double allows still fits: the text is sized first.
  std::string text(static_cast<std::size_t>(print(nullptr, 0)), '\0');
  print(text.data(), text.size() + 1);
  return text;
}

}  // namespace

void kfSketchBalanceText(const kcColorCalibrationChannelResultInternal& result, kcDiagObject* diag,
                         unsigned long diagFlags) {
  if (diagFlags == 0 || diag == nullptr) return;
  kcUITablet tablet;
  tablet.draw(balanceText(result), kcVector<2>(10.0, 50.0), kcColor::red, kcColor::pass, kcUIFormat{-1, 0}, 0);
  // The text belongs to the last record. When there is none (the host made
  // no record for the images before it), it gets a record of its own rather
  // than being dropped.
  kcDiagRecord& record =
      diag->numRecords() > 0 ? diag->diagRecord(diag->numRecords() - 1) : diag->newDiagRecord();
  record.sketch(tablet.sketch(), 0, "Color Balance Result Text");
}
