// Host image processing: intensity of colour images and label histograms.
#pragma once

#include <vector>

#include "colc/host/imaging.h"

// The 8-bit intensity (luma, 0.299 R + 0.587 G + 0.114 B, rounded) of a
// colour image written into grey, which gets new pels of the image's
// window size and the image's geometry.
void kfPelRGBToI(const kc3PlanePelBuffer& image, kcPelBuffer<unsigned char>& grey);

// A model of a label image: which label value each position carries.
template <class T>
class kcLabeledProjectionModel;

template <>
class kcLabeledProjectionModel<unsigned char> {
 public:
  kcLabeledProjectionModel() = default;
  void train(const kcPelBuffer_const<unsigned char>& labels);
  bool isTrained() const { return labels_.isBound(); }
  const kcPelBuffer_const<unsigned char>& labels() const { return labels_; }

 private:
  kcPelBuffer_const<unsigned char> labels_;
};

// One 256-bin histogram per label value (256 histograms): histograms[l]
// counts the image's pels at the positions whose label is l. Image and
// label windows must have the same size; positions pair by place in the
// window. The flag is reserved; callers pass true.
void kfLabelHistogram(const kcLabeledProjectionModel<unsigned char>& model,
                      const kcPelBuffer_const<unsigned char>& image,
                      std::vector<std::vector<unsigned long>>& histograms, bool reserved);
