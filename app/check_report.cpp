#include "app/check_report.h"

#include <sstream>

#include "app/files.h"
#include "app/presentation.h"
#include "app/report_page.h"

namespace {

// Named apart from the calibration report's files, so that both reports
// can share a folder.
constexpr const char* kPageFile = "colc-check.html";
constexpr const char* kReferenceFile = "colc-check-reference.png";
constexpr const char* kViewFile = "colc-check-view.png";
constexpr const char* kErrorFile = "colc-check-error.png";

std::string verdictHtml(const CameraCheck& check) {
  const std::string drift = fixed(check.drift(), 2);
  switch (check.verdict) {
    case CheckVerdict::stillCalibrated:
      return "<p class=\"verdict\" id=\"verdict\"><strong>Still calibrated:</strong> the mean colour error changed by " +
             drift + " since the calibration (drifted from a rise of " + fixed(kNoticeableDrift, 2) + ").</p>\n";
    case CheckVerdict::drifted:
      return "<p class=\"verdict warn\" id=\"verdict\"><strong>Drifted:</strong> the mean colour error rose by " +
             drift + " since the calibration; calibrate again from a rise of " + fixed(kRecalibrationDrift, 2) +
             ", or sooner where colour matters.</p>\n";
    case CheckVerdict::recalibrate:
      return "<p class=\"verdict bad\" id=\"verdict\"><strong>Recalibrate:</strong> the mean colour error rose by " +
             drift + " since the calibration; the stored result no longer serves this camera.</p>\n";
  }
  return {};
}

std::string summaryHtml(const std::string& camera, const CameraCheck& check) {
  const kcCalibrationContext& c = check.calibrated;
  std::ostringstream html;
  html << "<p>The " << escaped(camera) << ", checked against its calibration of " << escaped(c.date) << " (colc "
       << escaped(c.colcVersion) << (c.search.empty() ? "" : ", the " + escaped(c.search) + " search") << ") in "
       << check.acquisitions
       << (check.acquisitions == 1 ? " acquisition" : " acquisitions");
  if (check.cameraSeconds) html << ", " << fixed(*check.cameraSeconds, 2) << " s camera time";
  html << ".</p>\n";
  if (check.otherCamera)
    html << "<p><strong>The result belongs to another camera:</strong> " << escaped(calibratedCameraName(c))
         << ". It was checked all the same (--force).</p>\n";
  html << "<table><tr><th>CIEDE2000 over the flat regions</th><th>mean</th><th>max</th></tr>\n"
       << "<tr><td>when calibrated</td><td>" << fixed(c.colourErrorMean, 2) << "</td><td>"
       << fixed(c.colourErrorMax, 2) << "</td></tr>\n"
       << "<tr><td>now</td><td>" << fixed(check.now.mean, 2) << "</td><td>" << fixed(check.now.max, 2)
       << "</td></tr>\n</table>\n";
  if (const std::string clipped = clippedRegionsText(check.clipped, check.now.perRegion.size()); !clipped.empty())
    html << "<p>" << escaped(clipped) << "</p>\n";
  return html.str();
}

}  // namespace

std::string checkReportPage(const std::string& folder) { return folder + "/" + kPageFile; }

std::vector<std::string> checkReportFiles(const std::string& folder) {
  return {checkReportPage(folder), folder + "/" + kReferenceFile, folder + "/" + kViewFile,
          folder + "/" + kErrorFile};
}

void writeCheckReport(const std::string& folder, const std::string& camera, const CameraCheck& check,
                      const kc3PlanePelBuffer& reference) {
  makeFolder(folder);
  std::vector<Figure> figures;
  auto figure = [&](const char* file, const std::string& caption, const kc3PlanePelBuffer& image) {
    writeImage(folder + "/" + file, image);
    figures.push_back({file, caption, image.width(), image.height(), {}});
  };
  figure(kReferenceFile, "The reference", reference);
  figure(kViewFile, "The camera's view now, at the stored settings and through the stored calibration",
         check.correctedView);
  figure(kErrorFile,
         "The error now per region: green below 1, yellow at 2.3, red from 5 on; hatched in black: colour lost to "
         "clipping; grey is not judged",
         check.errorPicture);

  std::ostringstream html;
  html << pageHead("colc check report") << verdictHtml(check) << kMissingImagesLine << summaryHtml(camera, check)
       << figuresHtml(figures) << kPageEnd;
  writeOutputFile(checkReportPage(folder), "check report page", [&](std::ostream& page) { page << html.str(); });
}
