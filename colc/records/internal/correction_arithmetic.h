// The arithmetic by which kcCorrectionRows corrects a pel, in single
// precision: the form every vector width repeats lane by lane, and the one
// the pels left over at a run's end go through, so that all give the same
// bits. Everything a step needs lies in tables, so that the vectors look
// it up by permutes instead of gathering loads:
// - a level decodes to a 16-bit number of 1/65535ths, whose two bytes come
//   from two 256-byte tables;
// - a row of the correction is scaled to take those numbers and, in the
//   encoded domain, to give levels;
// - in the linear domain the sRGB curve encodes the clamped light by a
//   cubic in the light on each of 16 segments, found from the bits of the
//   light as a float, and by its straight foot below kFootEnd.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "colc/records/color_correction.h"

// Level v stands for value[v] / 65535, whose low and high bytes are
// low[v] and high[v]. In the encoded domain value[v] is 257 v, which is
// v / 255 exactly.
struct kcLevelDecoding {
  alignas(64) std::array<std::uint8_t, 256> low;
  alignas(64) std::array<std::uint8_t, 256> high;
  alignas(64) std::array<std::int32_t, 256> value;
};

const kcLevelDecoding& kfLevelDecoding(kcColorCorrection::Domain domain);

// The sRGB encoding of linear light s in 0..1 to 8-bit levels, unrounded.
// Segment i covers the floats whose bits, shifted right by kShift, are
// kFirst + i: two segments an octave from 2^-8 up, the first reaching down
// to the foot. The cubic of segment i is
//   ((cubic[3][i] s + cubic[2][i]) s + cubic[1][i]) s + cubic[0][i].
struct kcEncodingSegments {
  static constexpr int kCount = 16;
  static constexpr int kShift = 22;
  static constexpr std::uint32_t kFirst = 238;
  // Below it, or at it, the curve is straight: kFootSlope levels per unit
  // of light.
  static constexpr float kFootEnd = 0.0031308f;
  static constexpr float kFootSlope = 255.0f * 12.92f;
  // The light is clamped to 0..kBelowOne, the last float below 1, so that
  // it stays in the last segment.
  static constexpr float kBelowOne = 0x1.fffffep-1f;

  alignas(64) std::array<std::array<float, kCount>, 4> cubic;
};

const kcEncodingSegments& kfEncodingSegments();

// The correction as the steps compute it: level v_j of plane j decoded to
// x_j = value[v_j], output k is
//   ((row[k][0] x_0 + row[k][1] x_1) + row[k][2] x_2) + row[k][3],
// in levels (encoded domain) or in light (linear domain).
struct kcCorrectionArithmetic {
  explicit kcCorrectionArithmetic(const kcColorCorrection& correction);

  const kcLevelDecoding& decoding;
  const kcEncodingSegments& segments;
  bool linear;
  std::array<std::array<float, 4>, 3> row;

  // The three output levels of the pel whose levels are v.
  std::array<unsigned char, 3> corrected(const std::array<unsigned char, 3>& v) const;

  // The level, unrounded and not below 0, of linear light s in 0..kBelowOne.
  float encodedLevel(float s) const {
    if (s <= kcEncodingSegments::kFootEnd) return s * kcEncodingSegments::kFootSlope;
    const std::uint32_t top = std::bit_cast<std::uint32_t>(s) >> kcEncodingSegments::kShift;
    const std::size_t i = top > kcEncodingSegments::kFirst ? top - kcEncodingSegments::kFirst : 0;
    const auto& c = segments.cubic;
    float p = c[3][i] * s + c[2][i];
    p = p * s + c[1][i];
    return p * s + c[0][i];
  }

  // Output k of the decoded x, clamped and rounded to a level, halves up as
  // the per-pel computation rounds them. The comparisons are written as the
  // vectors' max and min take them.
  int level(std::size_t k, const std::array<float, 3>& x) const {
    const auto& r = row[k];
    float sum = r[0] * x[0];
    sum = sum + r[1] * x[1];
    sum = sum + r[2] * x[2];
    sum = sum + r[3];
    sum = sum > 0.0f ? sum : 0.0f;
    if (!linear) return static_cast<int>((sum < 255.0f ? sum : 255.0f) + 0.5f);
    const float s = sum < kcEncodingSegments::kBelowOne ? sum : kcEncodingSegments::kBelowOne;
    return static_cast<int>(encodedLevel(s) + 0.5f);
  }
};
