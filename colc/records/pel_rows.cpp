#include "colc/records/internal/pel_rows.h"

#include <algorithm>
#include <functional>
#include <string>

#include "colc/records/errors.h"

namespace {

template <class Pel>
kcPelRows<Pel> interleavedRows(const kcInterleavedPels<Pel>& image, const char* what, bool distinct) {
  const std::string name(what);
  if (image.pels == nullptr || image.width <= 0 || image.height <= 0)
    throw kcColorCalibrationDefs::BadParams(name + " has no pels");
  if (image.pelStep < 1) throw kcColorCalibrationDefs::BadParams(name + " has a pel step below 1");
  const auto& o = image.planeOffsets;
  for (long offset : o)
    if (offset < 0 || offset >= image.pelStep)
      throw kcColorCalibrationDefs::BadParams(name + " has a plane outside its pels");
  if (distinct && (o[0] == o[1] || o[1] == o[2] || o[0] == o[2]))
    throw kcColorCalibrationDefs::BadParams(name + " has two planes on one byte");
  return {{image.pels + o[0], image.pels + o[1], image.pels + o[2]},
          {image.rowStride, image.rowStride, image.rowStride},
          image.pelStep,
          image.width,
          image.height};
}

template <class Pel>
kcPelRows<Pel> planarRows(const kc3PlanePelBuffer& image, const char* what) {
  if (!image.isBound()) throw kcBadPointer(std::string(what) + " is unbound");
  kcPelRows<Pel> rows{{}, {}, 1, image.width(), image.height()};
  // An empty image has no rows to point to: its planes may hold no pels.
  if (rows.width == 0 || rows.height == 0) return rows;
  for (int k = 0; k < 3; ++k) {
    const kcPelBuffer<unsigned char>& plane = image.pelPlane(k);
    rows.first[static_cast<std::size_t>(k)] = plane.pointToRow(plane.window().top);
    rows.rowStride[static_cast<std::size_t>(k)] = plane.rowStride();
  }
  return rows;
}

// The bytes plane k of the rows spans, first and last included.
template <class Pel>
std::pair<const unsigned char*, const unsigned char*> span(const kcPelRows<Pel>& rows, std::size_t k) {
  const unsigned char* first = rows.first[k];
  const unsigned char* last = first + (rows.height - 1) * rows.rowStride[k] + (rows.width - 1) * rows.step;
  return std::minmax(first, last, std::less<>());
}

}  // namespace

kcPelRows<const unsigned char> kfPelRowsOf(const kc3PlanePelBuffer& image, const char* what) {
  return planarRows<const unsigned char>(image, what);
}

kcPelRows<unsigned char> kfWritablePelRowsOf(const kc3PlanePelBuffer& image, const char* what) {
  return planarRows<unsigned char>(image, what);
}

kcPelRows<const unsigned char> kfPelRowsOf(const kcInterleavedPels<const unsigned char>& image, const char* what) {
  return interleavedRows(image, what, false);
}

kcPelRows<unsigned char> kfWritablePelRowsOf(const kcInterleavedPels<unsigned char>& image, const char* what) {
  return interleavedRows(image, what, true);
}

void kfCheckInPlaceOrApart(const kcPelRows<const unsigned char>& in, const kcPelRows<unsigned char>& out) {
  if (in.width != out.width || in.height != out.height)
    throw kcColorCalibrationDefs::BadParams("the output is " + std::to_string(out.width) + " x " +
                                            std::to_string(out.height) + " pels, the image " +
                                            std::to_string(in.width) + " x " + std::to_string(in.height));
  if (in.width == 0 || in.height == 0) return;
  bool samePels = in.step == out.step;
  for (std::size_t k = 0; k < 3; ++k)
    samePels = samePels && in.first[k] == out.first[k] && in.rowStride[k] == out.rowStride[k];
  if (samePels) return;
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t j = 0; j < 3; ++j) {
      const auto written = span(out, k), read = span(in, j);
      if (std::less_equal<>()(written.first, read.second) && std::less_equal<>()(read.first, written.second))
        throw kcColorCalibrationDefs::BadParams(
            "the output shares pels with the image without being the image itself");
    }
}
