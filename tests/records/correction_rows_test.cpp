// The colour correction through tables and vectors against the per-pel
// computation, over every 8-bit colour at every vector width, and the
// layouts it reads and writes: planes, interleaved pels, other pel steps,
// grey, in place.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <random>
#include <vector>

#include "colc/literal/color_correction_literal.h"
#include "colc/records/errors.h"
#include "colc/records/internal/pel_rows.h"
#include "colc/records/result.h"
#include "colc/records/srgb_levels.h"
#include "support/test_planes.h"

namespace {

using Domain = kcColorCorrection::Domain;
using Coefficients = kcColorCorrection::Coefficients;

// Light leaking between the planes undone: strong enough that saturated
// colours clip at 0 and bright ones at 1.
const Coefficients kUnmixing = {
    {{1.45, -0.38, -0.12, -0.01}, {-0.21, 1.52, -0.36, 0.004}, {-0.07, -0.41, 1.6, 0.02}}};
// Fitted to the simulated camera at cross-talk 0.1.
const Coefficients kFitted = {
    {{1.31, -0.16, -0.12, 0.004}, {-0.14, 1.27, -0.15, 0.002}, {-0.11, -0.17, 1.36, 0.006}}};
// Each row's coefficients sum to 32 in absolute value, the most the bound
// holds for; they nearly cancel, so that not every pel clips.
const Coefficients kAtTheBound = {
    {{16.0, -15.5, 0.3, -0.2}, {-0.2, 15.9, -15.8, -0.1}, {-15.4, 0.2, 16.3, -0.1}}};

// The widths with vectors of their own on this processor; 128 bits corrects
// pel by pel, which they are compared with.
std::vector<kcVectorWidth> vectorWidths() {
  std::vector<kcVectorWidth> widths;
  for (const kcVectorWidth width : {kcVectorWidth::e256, kcVectorWidth::e512})
    if (width <= kfWidestVectors()) widths.push_back(width);
  return widths;
}

kc3PlanePelBuffer imageOf(long width, long height, const std::function<std::array<unsigned char, 3>(long)>& colourAt) {
  kcPelBuffer<unsigned char> planes[3];
  for (int k = 0; k < 3; ++k)
    planes[k] = makePlane(width, height, [&](long x, long y) { return colourAt(y * width + x)[k]; });
  return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}

// 4096 x 4096 pels: every 8-bit colour once.
kc3PlanePelBuffer everyColour() {
  return imageOf(4096, 4096, [](long i) {
    return std::array<unsigned char, 3>{static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8),
                                        static_cast<unsigned char>(i >> 16)};
  });
}

kc3PlanePelBuffer randomImage(long width, long height, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::array<unsigned char, 3>> pels(static_cast<std::size_t>(width * height));
  for (auto& pel : pels)
    for (auto& v : pel) v = static_cast<unsigned char>(rng());
  return imageOf(width, height, [&](long i) { return pels[static_cast<std::size_t>(i)]; });
}

void correctRows(const kcColorCorrection& correction, const kcPelRows<const unsigned char>& in,
                 const kcPelRows<unsigned char>& out, kcVectorWidth width) {
  const kcCorrectionRows correct(correction, width);
  for (long y = 0; y < in.height; ++y) correct(in.row(y), out.row(y), in.width);
}

kc3PlanePelBuffer correctedAt(const kcColorCorrection& correction, const kc3PlanePelBuffer& image,
                              kcVectorWidth width) {
  kc3PlanePelBuffer out({image.width(), image.height()}, {image.width(), image.height()},
                        {image.width(), image.height()});
  correctRows(correction, kfPelRowsOf(image, "the image"), kfWritablePelRowsOf(out, "the output"), width);
  return out;
}

// The largest difference between two images' pels, and how many differ.
std::pair<int, long> differences(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
  int largest = 0;
  long count = 0;
  for (int k = 0; k < 3; ++k) {
    const std::vector<unsigned char> pa = pelsOf(a.pelPlane(k)), pb = pelsOf(b.pelPlane(k));
    for (std::size_t i = 0; i < pa.size(); ++i) {
      const int d = std::abs(pa[i] - pb[i]);
      largest = std::max(largest, d);
      count += d != 0;
    }
  }
  return {largest, count};
}

TEST(CorrectionRows, EveryColourWithinOneLevelOfThePerPelComputationAndAlikeAtEveryWidth) {
  const kc3PlanePelBuffer colours = everyColour();
  const long samples = 3L << 24;
  struct Case {
    Coefficients coefficients;
    Domain domain;
    // The most samples that may differ from the per-pel computation.
    long moved;
  };
  // Fitted corrections move a sample only where its exact level lies very
  // near halfway between two levels; the two decimals of these make many
  // lie exactly halfway in the encoded domain, which the per-pel
  // computation's own rounding errors send either way.
  for (const Case& c : {Case{kFitted, Domain::encoded, samples / 300}, Case{kFitted, Domain::linear, samples / 300},
                        Case{kUnmixing, Domain::linear, samples / 300}, Case{kAtTheBound, Domain::linear, samples / 10}}) {
    const kcColorCorrection correction(c.domain, c.coefficients);
    const kc3PlanePelBuffer scalar = correctedAt(correction, colours, kcVectorWidth::e128);
    const auto [largest, count] = differences(scalar, kfApplyColorCorrectionLiteral(correction, colours));
    EXPECT_LE(largest, 1);
    EXPECT_LE(count, c.moved);
    for (const kcVectorWidth width : vectorWidths())
      EXPECT_EQ(differences(correctedAt(correction, colours, width), scalar).second, 0)
          << "width " << static_cast<int>(width) << ", domain " << static_cast<int>(c.domain);
  }
}

TEST(CorrectionRows, TheCubicsFollowTheSrgbCurveWithinAQuarterOfAHundredthOfALevel) {
  const kcCorrectionArithmetic arithmetic(kcColorCorrection(Domain::linear, kFitted));
  double largest = 0.0;
  const auto check = [&](float s) {
    largest = std::max(largest, std::abs(arithmetic.encodedLevel(s) - 255.0 * kfLinearToSrgb(s)));
  };
  // Floats spread over every segment, and both sides of every segment's
  // ends and of the foot's.
  for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(kcEncodingSegments::kBelowOne); bits += 251)
    check(std::bit_cast<float>(bits));
  for (std::uint32_t i = 0; i <= kcEncodingSegments::kCount; ++i) {
    const float end = std::bit_cast<float>((kcEncodingSegments::kFirst + i) << kcEncodingSegments::kShift);
    check(std::min(end, kcEncodingSegments::kBelowOne));
    check(std::nextafter(end, 0.0f));
  }
  check(kcEncodingSegments::kFootEnd);
  check(std::nextafter(kcEncodingSegments::kFootEnd, 1.0f));
  EXPECT_LT(largest, 0.0025);
}

TEST(CorrectionRows, CoefficientsFarBeyondTheBoundClipAsThePerPelComputationDoes) {
  const kc3PlanePelBuffer image = randomImage(67, 3, 6);
  for (const Domain domain : {Domain::encoded, Domain::linear}) {
    // Planes compared: full where the first is the brighter, else none.
    const kcColorCorrection correction(domain, {{{1e308, -1e308, 0, 0}, {0, -1e200, 1e200, 0}, {0, 0, 1e40, -1e45}}});
    const kc3PlanePelBuffer scalar = correctedAt(correction, image, kcVectorWidth::e128);
    EXPECT_EQ(differences(scalar, kfApplyColorCorrectionLiteral(correction, image)).second, 0);
    for (const kcVectorWidth width : vectorWidths())
      EXPECT_EQ(differences(correctedAt(correction, image, width), scalar).second, 0);
  }
}

// An image of the planar one's pels, step bytes a pel, rows padded by 5
// bytes; order names the byte of red, green and blue, and the bytes of no
// plane hold 0xa5.
struct Interleaved {
  Interleaved(const kc3PlanePelBuffer& image, std::array<long, 3> order, long step = 3)
      : width(image.width()), height(image.height()), step(step), stride(step * width + 5),
        bytes(static_cast<std::size_t>(stride * height), 0xa5), order(order) {
    for (int k = 0; k < 3; ++k) {
      const std::vector<unsigned char> plane = pelsOf(image.pelPlane(k));
      for (long i = 0; i < width * height; ++i) byteOf(i, k) = plane[static_cast<std::size_t>(i)];
    }
  }
  unsigned char& byteOf(long i, std::size_t k) {
    return bytes[static_cast<std::size_t>(i / width * stride + i % width * step + order[k])];
  }
  kcInterleavedPels<const unsigned char> in() const { return {bytes.data(), width, height, stride, step, order}; }
  kcInterleavedPels<unsigned char> out() { return {bytes.data(), width, height, stride, step, order}; }
  kc3PlanePelBuffer planar() {
    return imageOf(width, height, [&](long i) {
      std::array<unsigned char, 3> c{};
      for (std::size_t k = 0; k < 3; ++k) c[k] = byteOf(i, k);
      return c;
    });
  }
  // The bytes of no plane: those between the planes' in each pel, and the rows' ends.
  std::vector<unsigned char> padding() const {
    std::vector<unsigned char> between;
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      const long inRow = static_cast<long>(b) % stride;
      if (inRow >= step * width || std::find(order.begin(), order.end(), inRow % step) == order.end())
        between.push_back(bytes[b]);
    }
    return between;
  }

  long width, height, step, stride;
  std::vector<unsigned char> bytes;
  std::array<long, 3> order;
};

TEST(CorrectionRows, InterleavedOtherStepsGreyWindowedAndInPlaceAgreeWithPlanesAtEveryWidth) {
  // 165 pels a row: whole 64-pel steps and a remainder, at every width.
  const kc3PlanePelBuffer image = randomImage(165, 7, 1);
  const std::array<long, 3> bgr = {2, 1, 0}, rgb = {0, 1, 2}, bgrx = {2, 1, 0}, xrgb = {1, 2, 3};
  for (const Domain domain : {Domain::encoded, Domain::linear}) {
    const kcColorCorrection correction(domain, kUnmixing);
    const kc3PlanePelBuffer expected = correctedAt(correction, image, kcVectorWidth::e128);
    EXPECT_EQ(differences(correction.apply(image), expected).second, 0);
    Interleaved applied(image, bgr);
    correction.apply(applied.in(), applied.out());
    EXPECT_EQ(differences(applied.planar(), expected).second, 0);
    for (const kcVectorWidth width : vectorWidths()) {
      SCOPED_TRACE("width " + std::to_string(static_cast<int>(width)) + ", domain " +
                   std::to_string(static_cast<int>(domain)));
      for (const auto& [order, step] : {std::pair{bgr, 3L}, std::pair{rgb, 3L}, std::pair{bgrx, 4L}, std::pair{xrgb, 4L}}) {
        const Interleaved source(image, order, step);
        Interleaved other(image, bgr);
        correctRows(correction, kfPelRowsOf(source.in(), "in"), kfWritablePelRowsOf(other.out(), "out"), width);
        EXPECT_EQ(differences(other.planar(), expected).second, 0);
        Interleaved inPlace(image, order, step);
        const std::vector<unsigned char> padding = inPlace.padding();
        correctRows(correction, kfPelRowsOf(inPlace.in(), "in"), kfWritablePelRowsOf(inPlace.out(), "out"), width);
        EXPECT_EQ(differences(inPlace.planar(), expected).second, 0);
        EXPECT_EQ(inPlace.padding(), padding);
      }

      // A grey image, one byte a pel, stands for three equal planes.
      const std::vector<unsigned char> grey = pelsOf(image.pelPlane(1));
      const kcInterleavedPels<const unsigned char> greyPels = {grey.data(), 165, 7, 165, 1, {0, 0, 0}};
      Interleaved greyOut(image, rgb);
      correctRows(correction, kfPelRowsOf(greyPels, "in"), kfWritablePelRowsOf(greyOut.out(), "out"), width);
      const kc3PlanePelBuffer greyPlanes(image.pelPlane(1), image.pelPlane(1), image.pelPlane(1));
      EXPECT_EQ(differences(greyOut.planar(), correctedAt(correction, greyPlanes, kcVectorWidth::e128)).second, 0);

      // A window inside larger planes, corrected in place.
      kc3PlanePelBuffer framed = randomImage(171, 11, 2);
      framed.window({3, 2, 168, 9}, false);
      const kc3PlanePelBuffer before = correctedAt(correction, framed, kcVectorWidth::e128);
      correctRows(correction, kfPelRowsOf(framed, "in"), kfWritablePelRowsOf(framed, "out"), width);
      EXPECT_EQ(differences(framed, before).second, 0);
    }
  }
}

TEST(CorrectionRows, RefusesOutputsOfOtherSizesOrOverlappingTheImage) {
  const kcColorCorrection correction(Domain::linear, kUnmixing);
  const kc3PlanePelBuffer image = randomImage(20, 6, 3);
  kc3PlanePelBuffer smaller = randomImage(19, 6, 4);
  EXPECT_THROW(correction.apply(image, smaller), kcColorCalibrationDefs::BadParams);
  // The planes turned round: each output plane another plane of the image.
  kc3PlanePelBuffer turned(image.pelPlane(1), image.pelPlane(2), image.pelPlane(0));
  EXPECT_THROW(correction.apply(image, turned), kcColorCalibrationDefs::BadParams);
  kc3PlanePelBuffer unbound;
  EXPECT_THROW(correction.apply(unbound, turned), kcBadPointer);

  Interleaved pels(image, {2, 1, 0});
  kcInterleavedPels<unsigned char> shifted = pels.out();
  shifted.pels += 3;
  shifted.width -= 1;
  kcInterleavedPels<const unsigned char> narrower = pels.in();
  narrower.width -= 1;
  EXPECT_THROW(correction.apply(narrower, shifted), kcColorCalibrationDefs::BadParams);
  kcInterleavedPels<unsigned char> twoOnOne = pels.out();
  twoOnOne.planeOffsets = {0, 0, 1};
  EXPECT_THROW(correction.apply(pels.in(), twoOnOne), kcColorCalibrationDefs::BadParams);
}

TEST(PelMapsInto, InPlaceInterleavedAndFreshAgree) {
  kcColorCalibrationChannelResult red, green, blue;
  red.init(1.3, -12.0, 1.0);
  green.init(0.8, 20.0, 1.0);
  blue.init(1.1, 3.0, 1.0);
  kcColorCalibrationResult result;
  result.channelResults({red, green, blue});
  const kc3PlanePelBuffer image = randomImage(33, 7, 5);
  const kc3PlanePelBuffer fresh = result.pelMapImage(image);
  for (int k = 0; k < 3; ++k) {
    const std::vector<unsigned char> in = pelsOf(image.pelPlane(k)), out = pelsOf(fresh.pelPlane(k));
    const std::vector<unsigned char>& map = result.channelResults()[static_cast<std::size_t>(k)].pelmap();
    for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], map[in[i]]);
  }

  Interleaved pels(image, {0, 1, 2});
  result.pelMapImage(pels.in(), pels.out());
  EXPECT_EQ(differences(pels.planar(), fresh).second, 0);

  kc3PlanePelBuffer inPlace = randomImage(33, 7, 5);
  kc3PlanePelBuffer same = inPlace;
  result.pelMapImage(inPlace, same);
  EXPECT_EQ(differences(inPlace, fresh).second, 0);
  kc3PlanePelBuffer turned(image.pelPlane(2), image.pelPlane(0), image.pelPlane(1));
  EXPECT_THROW(result.pelMapImage(image, turned), kcColorCalibrationDefs::BadParams);
}

}  // namespace
