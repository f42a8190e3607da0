#include <cmath>
#include <numbers>
#include <string>

#include "colc/host/align.h"
#include "host/align/pattern_search.h"
#include "host/align/pel_frame.h"
#include "host/imaging/cv_bridge.h"

void kc_SXRunParams::zone(kc_SXDefs::DOF dof, double low, double high) {
  if (!(low <= high)) throw kcBadArgument("alignment zone: low is above high");
  switch (dof) {
    case kc_SXDefs::eRotation:
      rotation_[0] = low, rotation_[1] = high;
      return;
    case kc_SXDefs::eScale:
      if (!(low > 0.0)) throw kcBadArgument("alignment zone: scale must be positive");
      scale_[0] = low, scale_[1] = high;
      return;
  }
  throw kcBadArgument("alignment zone: unknown degree of freedom " + std::to_string(static_cast<int>(dof)));
}

double kc_SXRunParams::zoneLow(kc_SXDefs::DOF dof) const {
  if (dof == kc_SXDefs::eRotation) return rotation_[0];
  if (dof == kc_SXDefs::eScale) return scale_[0];
  throw kcBadArgument("alignment zone: unknown degree of freedom " + std::to_string(static_cast<int>(dof)));
}

double kc_SXRunParams::zoneHigh(kc_SXDefs::DOF dof) const {
  if (dof == kc_SXDefs::eRotation) return rotation_[1];
  if (dof == kc_SXDefs::eScale) return scale_[1];
  throw kcBadArgument("alignment zone: unknown degree of freedom " + std::to_string(static_cast<int>(dof)));
}

const kcSXAlignResult& kcSXAlignResultSet::result(long i) const {
  if (i < 0 || i >= numFound()) throw kcBadArgument("alignment result " + std::to_string(i) + " does not exist");
  return results_[static_cast<std::size_t>(i)];
}

struct kcSXAlignPattern::Model {
  Model(const cv::Mat& pattern, int fineLevel, const kcXform<2>& clientFromMat)
      : search(pattern, fineLevel), clientFromMat(clientFromMat), matFromClient(clientFromMat.inverse()) {}
  AlignPatternModel search;
  kcXform<2> clientFromMat;
  kcXform<2> matFromClient;
};

kcSXAlignPattern::kcSXAlignPattern() = default;
kcSXAlignPattern::~kcSXAlignPattern() = default;
kcSXAlignPattern::kcSXAlignPattern(const kcSXAlignPattern&) = default;
kcSXAlignPattern& kcSXAlignPattern::operator=(const kcSXAlignPattern&) = default;

void kcSXAlignPattern::train(const kcPelBuffer_const<unsigned char>& image, unsigned long fineLevel, kcDiagObject*,
                             unsigned long) {
  const cv::Mat pattern = kfMatView(image);
  if (pattern.cols < AlignPatternModel::kMinSide || pattern.rows < AlignPatternModel::kMinSide)
    throw kcBadArgument("alignment pattern must be at least " + std::to_string(AlignPatternModel::kMinSide) +
                        " pels wide and high");
  double low = 0.0, high = 0.0;
  cv::minMaxLoc(pattern, &low, &high);
  if (low == high) throw kcBadArgument("alignment pattern has constant pels");
  const kcXform<2> clientFromMat = kfClientFromMatXform(image);
  if (clientFromMat.matrix().determinant() == 0.0)
    throw kcBadArgument("alignment pattern has a singular client transform");
  // Levels beyond the pattern's coarsest are capped by the search.
  const int level = static_cast<int>(std::min(fineLevel, 30ul));
  model_ = std::make_shared<const Model>(pattern, level, clientFromMat);
}

void kcSXAlignPattern::run(const kcPelBuffer_const<unsigned char>& image, const kcSXAlignRunParams& params,
                           kcSXAlignResultSet& results, kcDiagObject*, unsigned long) const {
  if (!model_) throw kcBadArgument("alignment pattern is not trained");
  const cv::Mat view = kfMatView(image);
  const kcXform<2> clientFromRunMat = kfClientFromMatXform(image);
  if (clientFromRunMat.matrix().determinant() == 0.0)
    throw kcBadArgument("alignment run image has a singular client transform");
  const kcXform<2> matFromClient = clientFromRunMat.inverse();

  const auto toCv = [](const kcMatrix<2>& m) {
    return cv::Matx22d(m.element(0, 0), m.element(0, 1), m.element(1, 0), m.element(1, 1));
  };
  constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
  AlignSearchSpace space;
  space.runFromClient = toCv(matFromClient.matrix());
  space.clientFromPattern = toCv(model_->clientFromMat.matrix());
  if (params.isZoneEnabled(kc_SXDefs::eRotation)) {
    space.rotationLow = params.zoneLow(kc_SXDefs::eRotation) * kRadiansPerDegree;
    space.rotationHigh = params.zoneHigh(kc_SXDefs::eRotation) * kRadiansPerDegree;
  }
  if (params.isZoneEnabled(kc_SXDefs::eScale)) {
    space.scaleLow = params.zoneLow(kc_SXDefs::eScale);
    space.scaleHigh = params.zoneHigh(kc_SXDefs::eScale);
  }
  space.refine = params.algorithm() != kc_SXDefs::eCoarse;
  space.accept = params.acceptThreshold();
  space.numToFind = static_cast<int>(std::min(params.numToFind(), 1000L));

  std::vector<kcSXAlignResult> found;
  if (!view.empty()) {
    const cv::Point2d centre = model_->search.centre();
    for (const AlignMatch& m : model_->search.search(view, space)) {
      // Pattern matrix -> run matrix: x = L (u - centre) + m.centre.
      const double c = m.scale * std::cos(m.rotation), s = m.scale * std::sin(m.rotation);
      const kcMatrix<2> linear = matFromClient.matrix() * kcMatrix<2>(c, -s, s, c) * model_->clientFromMat.matrix();
      const kcXform<2> matPose(linear, kcVector<2>(m.centre.x, m.centre.y) - linear * kcVector<2>(centre.x, centre.y));
      found.emplace_back(clientFromRunMat * matPose * model_->matFromClient, m.score);
    }
  }
  results.results_ = std::move(found);
}
