// The colour correction through tables and vectors against the per-pel
// computation, over every 8-bit colour at every vector width, and the
// layouts it reads and writes: planes, interleaved pels, grey, in place.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "colc/literal/color_correction_literal.h"
#include "colc/records/errors.h"
#include "colc/records/internal/pel_rows.h"
#include "colc/records/result.h"
#include "support/test_planes.h"

namespace {

using Domain = kcColorCorrection::Domain;

// Light leaking between the planes undone: strong enough that saturated
// colours clip at 0 and bright ones at 1.
const kcColorCorrection::Coefficients kUnmixing = {
    {{1.45, -0.38, -0.12, -0.01}, {-0.21, 1.52, -0.36, 0.004}, {-0.07, -0.41, 1.6, 0.02}}};

std::vector<kcVectorWidth> widthsOfThisProcessor() {
  std::vector<kcVectorWidth> widths;
  for (const kcVectorWidth width : {kcVectorWidth::e128, kcVectorWidth::e256, kcVectorWidth::e512})
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

kc3PlanePelBuffer correctedAt(const kcColorCorrection& correction, const kc3PlanePelBuffer& image,
                              kcVectorWidth width) {
  const kcPelRows<const unsigned char> in = kfPelRowsOf(image, "the image");
  kc3PlanePelBuffer out({image.width(), image.height()}, {image.width(), image.height()},
                        {image.width(), image.height()});
  const kcPelRows<unsigned char> rows = kfWritablePelRowsOf(out, "the output");
  const kcCorrectionRows correct(correction, width);
  for (long y = 0; y < in.height; ++y) correct(in.row(y), rows.row(y), in.width);
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

TEST(CorrectionRows, EveryColourWithinOneLevelOfThePerPelComputationAndExactWhenEncoded) {
  const kc3PlanePelBuffer colours = everyColour();
  for (const Domain domain : {Domain::encoded, Domain::linear}) {
    const kcColorCorrection correction(domain, kUnmixing);
    const kc3PlanePelBuffer literal = kfApplyColorCorrectionLiteral(correction, colours);
    const kc3PlanePelBuffer scalar = correctedAt(correction, colours, kcVectorWidth::e128);
    const auto [largest, count] = differences(scalar, literal);
    if (domain == Domain::encoded) {
      EXPECT_EQ(count, 0);
    } else {
      EXPECT_EQ(largest, 1);
      // Only samples near a rounding boundary move: 3.2 in 1000 of them here.
      EXPECT_LT(count, 3 * (1L << 24) / 200) << count;
    }
    for (const kcVectorWidth width : widthsOfThisProcessor())
      EXPECT_EQ(differences(correctedAt(correction, colours, width), scalar).second, 0)
          << "width " << static_cast<int>(width) << ", domain " << static_cast<int>(domain);
  }
}

// An interleaved image of the planar one's pels, three bytes a pel, rows
// padded by 5 bytes; order names the byte of red, green and blue.
struct Interleaved {
  Interleaved(const kc3PlanePelBuffer& image, std::array<long, 3> order)
      : width(image.width()), height(image.height()), stride(3 * width + 5),
        bytes(static_cast<std::size_t>(stride * height), 0), order(order) {
    for (int k = 0; k < 3; ++k) {
      const std::vector<unsigned char> plane = pelsOf(image.pelPlane(k));
      for (long i = 0; i < width * height; ++i)
        bytes[static_cast<std::size_t>(i / width * stride + i % width * 3 + order[k])] =
            plane[static_cast<std::size_t>(i)];
    }
  }
  kcInterleavedPels<const unsigned char> in() const { return {bytes.data(), width, height, stride, 3, order}; }
  kcInterleavedPels<unsigned char> out() { return {bytes.data(), width, height, stride, 3, order}; }
  kc3PlanePelBuffer planar() const {
    return imageOf(width, height, [&](long i) {
      std::array<unsigned char, 3> c{};
      for (std::size_t k = 0; k < 3; ++k) c[k] = bytes[static_cast<std::size_t>(i / width * stride + i % width * 3 + order[k])];
      return c;
    });
  }

  long width, height, stride;
  std::vector<unsigned char> bytes;
  std::array<long, 3> order;
};

TEST(CorrectionRows, InterleavedGreyWindowedAndInPlaceAgreeWithPlanes) {
  // 37 pels a row: whole vectors and a remainder at every width.
  const kc3PlanePelBuffer image = randomImage(37, 9, 1);
  for (const Domain domain : {Domain::encoded, Domain::linear}) {
    const kcColorCorrection correction(domain, kUnmixing);
    const kc3PlanePelBuffer expected = kfApplyColorCorrectionLiteral(correction, image);
    const int bound = domain == Domain::linear ? 1 : 0;
    EXPECT_LE(differences(correction.apply(image), expected).first, bound);

    const std::array<long, 3> bgr = {2, 1, 0}, rgb = {0, 1, 2};
    for (const auto& order : {bgr, rgb}) {
      const Interleaved source(image, order);
      Interleaved other(image, bgr);
      correction.apply(source.in(), other.out());
      EXPECT_EQ(differences(other.planar(), correction.apply(image)).second, 0);
      Interleaved inPlace(image, order);
      correction.apply(inPlace.in(), inPlace.out());
      EXPECT_EQ(differences(inPlace.planar(), correction.apply(image)).second, 0);
    }

    // A grey image, one byte a pel, stands for three equal planes.
    const std::vector<unsigned char> grey = pelsOf(image.pelPlane(1));
    Interleaved greyOut(image, rgb);
    correction.apply({grey.data(), 37, 9, 37, 1, {0, 0, 0}}, greyOut.out());
    const kc3PlanePelBuffer greyPlanes(image.pelPlane(1), image.pelPlane(1), image.pelPlane(1));
    EXPECT_EQ(differences(greyOut.planar(), correction.apply(greyPlanes)).second, 0);

    // A window inside larger planes, corrected in place.
    kc3PlanePelBuffer framed = randomImage(45, 13, 2);
    framed.window({3, 2, 40, 11}, false);
    const kc3PlanePelBuffer before = correction.apply(framed);
    kc3PlanePelBuffer same = framed;
    correction.apply(framed, same);
    EXPECT_EQ(differences(framed, before).second, 0);
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
