// Fuzz target for kcColorCalibrationResult::pelMapImage on a result read
// from arbitrary bytes: the bytes after the stored result describe the
// colour image (plane sizes, windows, offsets and pels).
//
// Promises checked: without exactly three channel results the call throws
// BadParams; otherwise every output pel is its plane's table entry for the
// input pel (an input pel itself for an empty table, every plane when
// channel 0's table is empty); the input is not changed and the output
// shares no pels with it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "colc/colorcal.h"
#include "colc/records/errors.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_images.h"

inline void fuzzPelMapImage(std::span<const std::uint8_t> data) {
  kcMemoryArchive archive(std::vector<unsigned char>(data.begin(), data.end()));
  kcColorCalibrationResult result;
  try {
    archive || result;
  } catch (const kcException&) {
    return;
  }
  FuzzInput in(data.subspan(data.size() - archive.bytesLeft()));
  kc3PlanePelBuffer image;
  if (in.byte() % 16 != 0) {
    const long width = in.upTo(9), height = in.upTo(9);
    const kcPelBuffer<unsigned char> red = fuzzPlane(in, width, height, 2);
    const kcPelBuffer<unsigned char> green = fuzzPlane(in, width, height, 2);
    const kcPelBuffer<unsigned char> blue = fuzzPlane(in, width, height, 2);
    image = kc3PlanePelBuffer(red, green, blue);
  }
  std::vector<unsigned char> before[3];
  if (image.isBound())
    for (int k = 0; k < 3; ++k) before[k] = fuzzWindowPels(image.pelPlane(k));
  const std::vector<kcColorCalibrationChannelResult>& channels = result.channelResults();
  kc3PlanePelBuffer mapped;
  try {
    mapped = result.pelMapImage(image);
  } catch (const kcColorCalibrationDefs::BadParams&) {
    fuzzCheck(channels.size() != 3, "BadParams with three channel results");
    return;
  } catch (const kcException&) {
    fuzzCheck(channels.size() == 3 && !image.isBound(), "a bound image was refused");
    return;
  }
  fuzzCheck(channels.size() == 3 && image.isBound(), "pelMapImage accepted what it must refuse");
  fuzzCheck(mapped.isBound() && mapped.width() == image.width() && mapped.height() == image.height(),
            "the mapped image has another size");
  const bool identity = channels[0].pelmap().empty();
  for (int k = 0; k < 3; ++k) {
    const std::vector<unsigned char>& table = channels[static_cast<std::size_t>(k)].pelmap();
    const kcPelBuffer<unsigned char>& out = mapped.pelPlane(k);
    const std::vector<unsigned char> got = fuzzWindowPels(out);
    const std::vector<unsigned char>& pels = before[k];
    for (std::size_t i = 0; i < pels.size(); ++i)
      fuzzCheck(got[i] == (identity || table.empty() ? pels[i] : table[pels[i]]), "a pel was mapped wrongly");
    // The input is untouched, and stays so when the output is written.
    fuzzCheck(fuzzWindowPels(image.pelPlane(k)) == pels, "pelMapImage changed its input");
    for (long y = out.window().top; y < out.window().bottom; ++y)
      for (long x = 0; x < out.width(); ++x) out.pointToRow(y)[x] ^= 0xFF;
    fuzzCheck(fuzzWindowPels(image.pelPlane(k)) == pels, "the mapped image shares pels with its input");
  }
}
