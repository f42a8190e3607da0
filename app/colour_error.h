// The colour error of a view against the reference where people judge
// colour: in the reference's flat regions (connected areas whose pels'
// neighbourhoods are uniform, such as a chart's patches), each region's
// mean colour in the view against its mean colour in the reference, as
// CIEDE2000.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "colc/host/imaging.h"

// A flat region of fewer pels than this is too small to judge a colour by.
constexpr int kSmallestFlatRegion = 64;
// A pel is flat when the square of this radius around it is (kfFlatRegionMask).
constexpr long kFlatRegionRadius = 3;

class FlatRegions {
 public:
  // The reference's flat regions (kfFlatRegionMask), split into connected
  // regions; those below kSmallestFlatRegion pels are left out.
  explicit FlatRegions(const kc3PlanePelBuffer& reference);

  int count() const { return static_cast<int>(pels_.size()); }
  // Region i's pels as indices y * width + x of the reference's grid.
  const std::vector<long>& pels(int i) const { return pels_[static_cast<std::size_t>(i)]; }
  // Mean red, green, blue of region i in an image on the reference's grid.
  std::array<double, 3> meanColour(const kc3PlanePelBuffer& image, int i) const;
  // Region i's pels of an image on the reference's grid, in one row.
  kc3PlanePelBuffer pelsOf(const kc3PlanePelBuffer& image, int i) const;
  // 255 on the pels of the regions that keep(i) accepts, 0 elsewhere.
  template <class Keep>
  kcPelBuffer<unsigned char> mask(Keep keep) const {
    kcPelBuffer<unsigned char> out(width_, height_);
    for (int i = 0; i < count(); ++i)
      if (keep(i))
        for (long p : pels(i)) out.pointToRow(p / width_)[p % width_] = 255;
    return out;
  }

  // 0 on region i's pels and on the edge around it, as far as pels see
  // the region in their flatness square; 255 on every other pel of the
  // grid. A fit over it has not seen the region's colour.
  kcPelBuffer<unsigned char> maskWithout(int i) const;

  long width() const { return width_; }
  long height() const { return height_; }

 private:
  long width_ = 0, height_ = 0;
  std::vector<std::vector<long>> pels_;
};

struct ColourError {
  // CIEDE2000 per region, in the regions' order.
  std::vector<double> perRegion;
  double mean = 0.0;
  double max = 0.0;
};

// The error of view (on the reference's grid) over the regions. Mean and
// max are 0 when there is no region.
ColourError colourError(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                        const FlatRegions& regions);

// Region i's pels of the view, in one row, as correctedWithout(i, pels)
// returns them corrected by a fit made without region i.
using HeldOutCorrection = std::function<kc3PlanePelBuffer(int i, const kc3PlanePelBuffer& pels)>;

// The error of each region through a correction that never saw it: the
// mean colour of its pels corrected by correctedWithout against its mean
// colour in the reference. Only the regions' own pels are corrected.
ColourError heldOutColourError(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                               const FlatRegions& regions, const HeldOutCorrection& correctedWithout);

// The regions whose colour the view lost to clipping: more than
// kClippedRegionShare of a region's samples at 0 (dark) or at 255 (bright)
// in a plane where the reference is neither. No map of the planes brings
// such a colour back; a camera that clips its dark end to hide cross-talk,
// for one, leaves its darkest patches so. A region clipped both ways
// counts in both.
constexpr double kClippedRegionShare = 0.01;

struct ClippedRegions {
  int dark = 0;
  int bright = 0;
  int total = 0;  // the regions clipped either way
  std::vector<bool> perRegion;  // whether each region is, in the regions' order
};

ClippedRegions clippedRegions(const kc3PlanePelBuffer& view, const kc3PlanePelBuffer& reference,
                              const FlatRegions& regions);

// One sentence for people on how many of regionCount regions lost colour
// to clipping at the calibrated settings; empty when none did.
std::string clippedRegionsText(const ClippedRegions& clipped, std::size_t regionCount);

// A picture of the error on the reference's grid: the reference dimmed to
// grey outside the regions, each region painted by its error, green below
// 1, through yellow at 2.3 (a just noticeable difference) to red from 5 on,
// and the regions that lost colour to clipping hatched in black: their
// error can look small while their colour is gone.
kc3PlanePelBuffer colourErrorPicture(const kc3PlanePelBuffer& reference, const FlatRegions& regions,
                                     const ColourError& error, const ClippedRegions& clipped);
