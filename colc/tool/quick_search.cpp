#include "colc/tool/internal/quick_search.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "colc/host/acq.h"
#include "colc/tool/internal/camera_response.h"
#include "colc/tool/internal/exposure_grid.h"
#include "colc/tool/measurement.h"
#include "colc/tool/internal/measurement_order.h"
#include "colc/tool/internal/model_optimum.h"
#include "colc/tool/internal/quick_base.h"
#include "colc/tool/pose.h"
#include "colc/tool/target_pose.h"

namespace {

// The probes that teach the model its slopes: steps in brightness and
// contrast from the settings it learnt from.
constexpr double kBrightnessProbe = 0.1;
constexpr double kContrastProbe = 0.15;
// The refinement's first spans either side of the best settings: in level
// (the logarithm of its ratio), in black level (full scale) for
// brightness. They hold the model's usual error; without a model the
// search starts wider. Every candidate that does not improve shrinks them.
constexpr double kLevelSpan = 0.06;
constexpr double kBlackSpan = 0.0006;
constexpr double kUnmodelledLevelSpan = 0.3;
constexpr double kUnmodelledBrightnessSpan = 0.05;
constexpr double kShrink = 0.95;
// It ends when both spans have shrunk below these.
constexpr double kFinestLevelSpan = 0.005;
constexpr double kFinestBlackSpan = 0.00005;
// The levels, as shares of the model's full scale, at which a view may be
// the result: the model's optimum lies within 0.8 .. 1 of it; below, this
// leaves room for the model's error, above, the brightest patches clip.
constexpr double kDimmestResultShare = 0.65;
constexpr double kBrightestResultShare = 1.0;
// A view may be the result only with at most this much more contrast than
// the least that reaches its level.
constexpr double kContrastLeeway = 0.05;

// The base moves at most this often (quick_base.h):
constexpr int kMaxRebases = 3;

enum class keStage { ePose, eRebase, eBlackProbe, eGainProbe, eModelGuess, eRefine };

double unitInterval(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

class kcColorCalibrationQuickSearch::State {
 public:
  kcColorCalibrationParams params;
  kc3PlanePelBuffer calibrationImage;
  kcCalibrationPose pose;
  keStage stage = keStage::ePose;
  bool done = false;
  kcColorCameraSettings base;  // the settings the model learnt from
  kcColorCameraSettings next;
  kcColorCameraSettings result;
  std::vector<kcColorCalibrationChannelResult> channelResults = std::vector<kcColorCalibrationChannelResult>(3);
  std::vector<std::pair<kcColorCameraSettings, kcColorCalibrationMeasurement>> measured;
  std::optional<kcColorCalibrationMeasurement> best;
  bool lastImproved = false;
  std::optional<kcCameraResponse> model;
  std::optional<kcColorCameraSettings> guess;
  int rebases = 0;
  std::optional<kcColorCameraSettings> rebase;  // where the base moves next

  // The refinement: candidates spread evenly over spans of level and
  // brightness around the best settings so far. Near its optimum the
  // measurement's landscape is rough on the scale of single steps of the
  // black level and the exposure, and which bump a search lands on decides
  // its result; a walk from neighbour to better neighbour stops on the
  // first bump it meets, while spread candidates try many and keep the best.
  double levelSpan = 0.0;
  double brightnessSpan = 0.0;
  double finestBrightnessSpan = 0.0;
  int candidate = 0;

  void reset(const kcColorCalibrationParams& p, const kcColorCameraSettings& s, const kc3PlanePelBuffer& image) {
    params = p;
    calibrationImage = image;
    stage = keStage::ePose;
    done = false;
    base = next = s;
    rebases = 0;
    rebase.reset();
    channelResults.assign(3, kcColorCalibrationChannelResult());
    measured.clear();
    best.reset();
    model.reset();
    guess.reset();
  }

  void step(const kc3PlanePelBuffer& image) {
    if (stage == keStage::ePose) pose = kfFindTargetPose(image, calibrationImage);
    const kc3PlanePelBuffer view = kfViewSamples(image, pose);
    measure(view);
    learn(view);
    if (stage == keStage::eRefine) afterRefinementMove();
    advance();
  }

 private:
  // view: the image on the reference's grid. One image per step: the noise
  // between two, which no comparison reads, is not measured.
  void measure(const kc3PlanePelBuffer& view) {
    const kcColorCalibrationMeasurement m = kfMeasureColorView(params, pose.referenceImage, view);
    measured.emplace_back(next, m);
    if (stage == keStage::eRefine && !mayBeResult(next)) {
      lastImproved = false;
      return;
    }
    keepIfBetter(next, m);
  }

  void keepIfBetter(const kcColorCameraSettings& settings, const kcColorCalibrationMeasurement& m) {
    lastImproved = !best || kfIsBetterMeasurement(*best, m);
    if (!lastImproved) return;
    best = m;
    result = settings;
    const std::vector<kcColorCalibrationChannelResultInternal> fits = m.results.results();
    for (std::size_t i = 0; i < std::min(fits.size(), channelResults.size()); ++i)
      channelResults[i].init(fits[i].gain(), fits[i].offset(), fits[i].rmsError());
  }

  // The best image so far among those that may be the result. The pose
  // image and the probes sit where the start put them, and the fits' score
  // is nearly flat over levels: a view far below full scale scores about
  // as well as one near it, though its pel maps must amplify its noise and
  // the steps between its pels, and a view below zero black scores better
  // by clipping the patches that fit worst; one at more gain than its
  // level needs amplifies the sensor's noise. So only the model's guess and
  // views the model places near full scale, at the least contrast for
  // their level and at or above zero black compete; the others only taught
  // the model.
  void keepBestResult() {
    best.reset();
    for (const auto& [settings, m] : measured) {
      if (mayBeResult(settings)) keepIfBetter(settings, m);
    }
  }

  bool mayBeResult(const kcColorCameraSettings& s) const {
    if (!model || (guess && s == *guess)) return true;
    const double share = model->level(s) / model->fullScaleLevel();
    return share >= kDimmestResultShare && share <= kBrightestResultShare &&
           !(params.isBrightnessEnabled() && s.brightness() < lowestBrightness()) &&
           !(contrastAdjustsLevel() && s.contrast() > atLevel(s, 1.0).contrast() + kContrastLeeway);
  }

  void learn(const kc3PlanePelBuffer& view) {
    if (stage == keStage::ePose || stage == keStage::eRebase) {
      base = next;
      model = kcCameraResponse::learn(next, view, pose.referenceImage);
      rebase = rebases < kMaxRebases ? kfBetterQuickBase(params, base, model, view) : std::nullopt;
    } else if (stage == keStage::eBlackProbe && model) {
      model->learnBlack(next, view);
    } else if (stage == keStage::eGainProbe && model) {
      model->learnGain(next, view);
    }
  }

  bool isMeasured(const kcColorCameraSettings& s) const {
    return std::any_of(measured.begin(), measured.end(), [&](const auto& m) { return m.first == s; });
  }

  // Moves on to the next settings worth an acquisition, or ends the search.
  void advance() {
    while (!done) {
      std::optional<kcColorCameraSettings> wanted;
      switch (stage) {
        case keStage::ePose:
        case keStage::eRebase:
          if (rebase) {
            stage = keStage::eRebase;
            ++rebases;
            wanted = rebase;
            break;
          }
          stage = keStage::eBlackProbe;
          if (model && params.isBrightnessEnabled()) wanted = probe(0.0, kBrightnessProbe);
          break;
        case keStage::eBlackProbe:
          stage = keStage::eGainProbe;
          if (model && params.isContrastEnabled()) wanted = probe(kContrastProbe, 0.0);
          break;
        case keStage::eGainProbe:
          stage = keStage::eModelGuess;
          if (model) guess = wanted = modelGuess();
          break;
        case keStage::eModelGuess:
          stage = keStage::eRefine;
          keepBestResult();
          startRefinement();
          wanted = refinementMove();
          break;
        case keStage::eRefine:
          wanted = refinementMove();
          if (!wanted) done = true;
          break;
      }
      if (static_cast<int>(measured.size()) >= kAcquisitionBudget) done = true;
      if (!done && wanted && !isMeasured(*wanted)) {
        next = *wanted;
        return;
      }
    }
  }

  // The base with the contrast stepped up (or down, near the top of its
  // range) or the brightness stepped down (or up, near the bottom): away
  // from the ends of the ranges.
  kcColorCameraSettings probe(double contrastStep, double brightnessStep) const {
    kcColorCameraSettings s = base;
    const double c = base.contrast(), b = base.brightness();
    s.contrast(c + contrastStep <= 1.0 ? c + contrastStep : c - contrastStep);
    s.brightness(b - brightnessStep >= 0.0 ? b - brightnessStep : b + brightnessStep);
    return s;
  }

  bool contrastAdjustsLevel() const { return params.isContrastEnabled() && model && model->gainKnown(); }

  kcModelBounds bounds() const {
    const kcColorCameraSettings& base = model->base();
    const double e0 =
        params.isExposureEnabled() ? kfAdmissibleExposure(params, params.exposureRange().start()) : base.exposure();
    const double e1 =
        params.isExposureEnabled() ? kfAdmissibleExposure(params, params.exposureRange().end()) : base.exposure();
    const double c0 = contrastAdjustsLevel() ? 0.0 : base.contrast();
    const double c1 = contrastAdjustsLevel() ? 1.0 : base.contrast();
    const double corners[4] = {model->level({e0, c0, 0.0}), model->level({e0, c1, 0.0}), model->level({e1, c0, 0.0}),
                               model->level({e1, c1, 0.0})};
    kcModelBounds b;
    b.lowestLevel = std::max(*std::min_element(corners, corners + 4), 1e-12);
    b.highestLevel = std::max(*std::max_element(corners, corners + 4), b.lowestLevel);
    b.lowestBrightness = params.isBrightnessEnabled() ? lowestBrightness() : base.brightness();
    b.highestBrightness = params.isBrightnessEnabled() ? 1.0 : base.brightness();
    return b;
  }

  // The lowest brightness worth an acquisition: where the black level
  // reaches zero, once the model knows it. Below it the camera clips the
  // target's dark end to 0, which no pel map brings back; yet the fits'
  // score can rank it better, with cross-talk most of all: the dark
  // patches, lifted by the other planes' light, fit worst, and clipping
  // takes them out of the fits.
  double lowestBrightness() const {
    const std::optional<double> unclipped = model ? model->unclippedBrightness() : std::nullopt;
    return unclipped ? unitInterval(*unclipped) : 0.0;
  }

  // Settings that reach a level relative to from's. Gain amplifies the
  // sensor's noise with its signal while a longer exposure collects more
  // light, so the level comes from the lowest contrast that the exposure
  // range allows: the exposure first, then the contrast for the rest.
  kcColorCameraSettings atLevel(const kcColorCameraSettings& from, double level) const {
    kcColorCameraSettings s = from;
    if (!contrastAdjustsLevel()) {
      if (params.isExposureEnabled()) s.exposure(kfAdmissibleExposure(params, from.exposure() * level));
      return s;
    }
    const double wanted = model->level(from) * level;
    s.contrast(0.0);
    if (params.isExposureEnabled())
      s.exposure(kfAdmissibleExposure(params, from.exposure() * wanted / model->level(s)));
    if (s.exposure() > 0.0) s.contrast(unitInterval(std::log(wanted / model->level(s)) / model->gainSlope()));
    return s;
  }

  kcColorCameraSettings modelGuess() const {
    const kcModelOptimum optimum = kfModelOptimum(*model, params, pose.referenceImage, bounds());
    kcColorCameraSettings s = atLevel(model->base(), optimum.level);
    if (params.isBrightnessEnabled()) s.brightness(unitInterval(optimum.brightness));
    return s;
  }

  void startRefinement() {
    const double slope = model && model->blackKnown() ? std::fabs(model->meanBlackSlope()) : 0.0;
    levelSpan = model ? kLevelSpan : kUnmodelledLevelSpan;
    brightnessSpan = slope > 0.0 ? kBlackSpan / slope : kUnmodelledBrightnessSpan;
    finestBrightnessSpan = kFinestBlackSpan / (slope > 0.0 ? slope : kUnmodelledBlackSlope);
    candidate = 0;
  }

  // The n-th candidate: a point of the R2 sequence (steps of the inverse
  // plastic number and its square, modulo 1), which spreads any run of its
  // points evenly over the square, scaled to the spans around the result.
  kcColorCameraSettings candidateAt(int n) const {
    constexpr double kAlpha[2] = {0.7548776662466927, 0.5698402909980532};
    double u[2];
    for (int k = 0; k < 2; ++k) u[k] = 2.0 * std::fmod(0.5 + kAlpha[k] * n, 1.0) - 1.0;
    // The first point is the result's own level, kept as it is: through
    // the model it would come back a rounding away and be taken again.
    kcColorCameraSettings s =
        u[0] == 0.0 ? result : atLevel(result, std::exp(u[0] * std::max(levelSpan, exposureGridSpan())));
    if (params.isBrightnessEnabled())
      s.brightness(aboveLowest(result.brightness() + u[1] * brightnessSpan));
    return s;
  }

  // A candidate's brightness, below the lowest reflected above it: the
  // candidates stay spread over the span's part that may be tried, where
  // moving them onto the lowest would crowd them on that line.
  double aboveLowest(double b) const {
    const double lowest = lowestBrightness();
    return std::min(b < lowest ? 2.0 * lowest - b : b, 1.0);
  }

  // When only the exposure sets the level, on a grid coarser than the
  // span: the span that reaches the neighbouring grid points.
  double exposureGridSpan() const {
    const double grid = params.minExposureStepSize();
    if (contrastAdjustsLevel() || !params.isExposureEnabled() || grid == 0.0 || !(result.exposure() > 0.0)) return 0.0;
    return std::log1p(1.5 * grid / result.exposure());
  }

  void afterRefinementMove() {
    if (!lastImproved) shrink();
  }

  void shrink() {
    levelSpan *= kShrink;
    brightnessSpan *= kShrink;
  }

  // The next candidate of the refinement that needs an acquisition;
  // nothing when the spans are spent.
  std::optional<kcColorCameraSettings> refinementMove() {
    while (levelSpan >= kFinestLevelSpan || brightnessSpan >= finestBrightnessSpan) {
      const kcColorCameraSettings s = candidateAt(candidate++);
      if (!(s == result) && !isMeasured(s)) return s;
      shrink();  // nowhere to go, or known not to be better
    }
    return std::nullopt;
  }
};

kcColorCalibrationQuickSearch::kcColorCalibrationQuickSearch() : s_(std::make_unique<State>()) {}

kcColorCalibrationQuickSearch::~kcColorCalibrationQuickSearch() = default;

kcColorCameraSettings kcColorCalibrationQuickSearch::init(const kcColorCalibrationParams& params,
                                                          const kcColorCameraSettings& startSettings,
                                                          const kc3PlanePelBuffer& calibrationImage) {
  s_->reset(params, startSettings, calibrationImage);
  return s_->next;
}

kcColorCameraSettings kcColorCalibrationQuickSearch::nextSettingsFromAcquiredImages(kcPtrHandle<kcAcqImage>& first,
                                                                                    kcPtrHandle<kcAcqImage>&,
                                                                                    kcDiagObject*, unsigned long) {
  s_->step(first->get3PlanePelBuffer());
  return s_->next;
}

bool kcColorCalibrationQuickSearch::done() const { return s_->done; }

const kcColorCameraSettings& kcColorCalibrationQuickSearch::result() const { return s_->result; }

const std::vector<kcColorCalibrationChannelResult>& kcColorCalibrationQuickSearch::channelResults() const {
  return s_->channelResults;
}

kcCalibrationPose kcColorCalibrationQuickSearch::pose() const {
  if (s_->stage == keStage::ePose) return {};
  return s_->pose;
}

int kcColorCalibrationQuickSearch::measurements() const { return static_cast<int>(s_->measured.size()); }
