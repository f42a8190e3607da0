// Host display: colours, text formats and tablets on which text is drawn
// into a sketch that a diagnostics record can keep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colc/host/geometry.h"

class kcColor {
 public:
  constexpr kcColor() = default;
  constexpr kcColor(unsigned char r, unsigned char g, unsigned char b, bool transparent = false)
      : r_(r), g_(g), b_(b), transparent_(transparent) {}
  unsigned char r() const { return r_; }
  unsigned char g() const { return g_; }
  unsigned char b() const { return b_; }
  // "pass" is the colour that draws nothing (a transparent background).
  bool isTransparent() const { return transparent_; }
  bool operator==(const kcColor& o) const {
    return r_ == o.r_ && g_ == o.g_ && b_ == o.b_ && transparent_ == o.transparent_;
  }

  static const kcColor red, green, blue, white, black, pass;

 private:
  unsigned char r_ = 0, g_ = 0, b_ = 0;
  bool transparent_ = false;
};

// How text is set: a font (-1: the default font) and style flags (0: plain).
struct kcUIFormat {
  std::int32_t font = -1;
  std::int32_t flags = 0;
  bool operator==(const kcUIFormat& o) const { return font == o.font && flags == o.flags; }
};

// One drawn line of text, kept with everything it was drawn with.
struct kcUIText {
  std::string text;
  kcVector<2> point;
  kcColor foreground;
  kcColor background;
  kcUIFormat format;
  int layer = 0;
};

// What was drawn on a tablet.
class kcUISketch {
 public:
  const std::vector<kcUIText>& texts() const { return texts_; }
  void add(const kcUIText& text) { texts_.push_back(text); }

 private:
  std::vector<kcUIText> texts_;
};

class kcUITablet {
 public:
  void draw(const std::string& text, const kcVector<2>& point, const kcColor& foreground, const kcColor& background,
            const kcUIFormat& format, int layer) {
    sketch_.add({text, point, foreground, background, format, layer});
  }
  const kcUISketch& sketch() const { return sketch_; }

 private:
  kcUISketch sketch_;
};
