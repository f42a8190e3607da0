// Histograms of an image split by the values of a label image.
#include <string>

#include "colc/host/improc.h"

void kcLabeledProjectionModel<unsigned char>::train(const kcPelBuffer_const<unsigned char>& labels) {
  if (!labels.isBound()) throw kcBadPointer("kcLabeledProjectionModel::train: unbound label image");
  labels_ = labels;  // shares the pels, as every buffer copy does
}

void kfLabelHistogram(const kcLabeledProjectionModel<unsigned char>& model,
                      const kcPelBuffer_const<unsigned char>& image,
                      std::vector<std::vector<unsigned long>>& histograms, bool /*reserved*/) {
  if (!model.isTrained()) throw kcBadPointer("kfLabelHistogram: the model is not trained");
  if (!image.isBound()) throw kcBadPointer("kfLabelHistogram: unbound image");
  const kcPelBuffer_const<unsigned char>& labels = model.labels();
  if (labels.width() != image.width() || labels.height() != image.height())
    throw kcBadArgument("kfLabelHistogram: label window " + std::to_string(labels.width()) + " x " +
                        std::to_string(labels.height()) + " and image window " + std::to_string(image.width()) +
                        " x " + std::to_string(image.height()) + " differ in size");
  // Count into one flat table first: 256 x 256 counters in one block, no
  // indirection through the outer vector per pel.
  std::vector<unsigned long> counts(256 * 256, 0);
  for (long y = 0; y < image.height(); ++y) {
    const unsigned char* label = labels.pointToRow(labels.window().top + y);
    const unsigned char* value = image.pointToRow(image.window().top + y);
    for (long x = 0; x < image.width(); ++x) ++counts[label[x] * 256 + value[x]];
  }
  histograms.resize(256);
  for (int l = 0; l < 256; ++l) histograms[l].assign(counts.begin() + l * 256, counts.begin() + (l + 1) * 256);
}
