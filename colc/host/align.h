// Host pattern alignment: a pattern learnt from an 8-bit image and found in
// other images over translation, rotation and uniform scale.
//
// Poses map the pattern's client coordinates (those of the training image)
// to the run image's client coordinates. Translation is always searched,
// over the whole run image; rotation and scale are searched within their
// zones when enabled and held at 0 degrees and 1.0 otherwise. A pattern is
// found only where it lies wholly inside the run image.
#pragma once

#include <memory>
#include <vector>

#include "colc/host/diag.h"
#include "colc/host/geometry.h"
#include "colc/host/imaging.h"

class kc_SXDefs {
 public:
  // How far a run goes. eCoarse returns the best poses of the coarse grid
  // (rotation and scale to the grid step, translation to a pel of the
  // coarsest image level); eRefined refines each of them down to the
  // pattern's finest level, in translation, rotation and scale.
  enum Algorithm { eCoarse = 1, eRefined = 2 };
  // Degrees of freedom with a zone: rotation in degrees, uniform scale.
  enum DOF { eRotation = 1, eScale = 2 };
};

// Zones of the searched degrees of freedom.
class kc_SXRunParams {
 public:
  // Bit (1 << (dof - 1)) enables the zone of dof: 3 enables rotation and scale.
  unsigned long zoneEnable() const { return zoneEnable_; }
  void zoneEnable(unsigned long mask) { zoneEnable_ = mask; }
  bool isZoneEnabled(kc_SXDefs::DOF dof) const { return (zoneEnable_ >> (dof - 1)) & 1u; }
  // The search range of dof. kcBadArgument for an unknown dof, low > high,
  // or a scale range that is not positive.
  void zone(kc_SXDefs::DOF dof, double low, double high);
  double zoneLow(kc_SXDefs::DOF dof) const;
  double zoneHigh(kc_SXDefs::DOF dof) const;

 private:
  unsigned long zoneEnable_ = 0;
  double rotation_[2] = {0.0, 0.0};
  double scale_[2] = {1.0, 1.0};
};

class kcSXAlignRunParams : public kc_SXRunParams {
 public:
  kc_SXDefs::Algorithm algorithm() const { return algorithm_; }
  void algorithm(kc_SXDefs::Algorithm algorithm) { algorithm_ = algorithm; }
  // The lowest score a result may have: the normalised correlation (-1 to
  // 1) of the pattern with the image at the refined pose, on the finest
  // level searched. The default 0.75 lies between what clutter, noise and
  // other charts of patches reach (up to about 0.65 for a 200 x 150
  // pattern, less for larger ones) and what a noisy view of the pattern
  // under strongly wrong exposure still scores (above 0.83).
  double acceptThreshold() const { return accept_; }
  void acceptThreshold(double score) { accept_ = score; }
  // The most results a run returns (at least 1).
  long numToFind() const { return numToFind_; }
  void numToFind(long n) { numToFind_ = n < 1 ? 1 : n; }

 private:
  kc_SXDefs::Algorithm algorithm_ = kc_SXDefs::eRefined;
  double accept_ = 0.75;
  long numToFind_ = 1;
};

class kcSXAlignResult {
 public:
  kcSXAlignResult() = default;
  kcSXAlignResult(const kcXform<2>& pose, double score) : pose_(pose), score_(score) {}
  // From the pattern's client coordinates to the run image's.
  const kcXform<2>& pose() const { return pose_; }
  // Normalised correlation of the pattern with the image at the pose.
  double score() const { return score_; }

 private:
  kcXform<2> pose_;
  double score_ = 0.0;
};

// The results of a run, best score first.
class kcSXAlignResultSet {
 public:
  long numFound() const { return static_cast<long>(results_.size()); }
  // Result i; kcBadArgument when i is out of range.
  const kcSXAlignResult& result(long i) const;

 private:
  friend class kcSXAlignPattern;
  std::vector<kcSXAlignResult> results_;
};

class kcSXAlignPattern {
 public:
  kcSXAlignPattern();
  ~kcSXAlignPattern();
  // Copies share the trained pattern.
  kcSXAlignPattern(const kcSXAlignPattern&);
  kcSXAlignPattern& operator=(const kcSXAlignPattern&);

  // Learns the pattern from the image's window, in its client coordinates.
  // fineLevel is the finest image level the refinement works on: 0 for the
  // full resolution, n for images reduced n times by 2 (faster, coarser
  // poses). kcBadPointer for an unbound image, kcBadArgument for a window
  // too small or too flat (constant pels) to be found again. Diagnostics
  // are not recorded.
  void train(const kcPelBuffer_const<unsigned char>& image, unsigned long fineLevel, kcDiagObject* diag,
             unsigned long diagFlags);
  bool isTrained() const { return model_ != nullptr; }

  // Searches the image's window and replaces the result set's contents.
  // kcBadArgument when the pattern is not trained, kcBadPointer for an
  // unbound image. Diagnostics are not recorded.
  void run(const kcPelBuffer_const<unsigned char>& image, const kcSXAlignRunParams& params,
           kcSXAlignResultSet& results, kcDiagObject* diag, unsigned long diagFlags) const;

 private:
  struct Model;
  std::shared_ptr<const Model> model_;
};
