#include "app/report.h"

#include <sstream>

#include "app/calibration_summary.h"
#include "colc/tool/target_pose.h"
#include "app/files.h"
#include "app/presentation.h"
#include "app/report_charts.h"
#include "app/report_colour.h"
#include "app/report_page.h"
#include "app/search_path.h"

namespace {

// Every name starts with "colc-", so that the report never replaces a file
// of the user's that lives in the same folder.
constexpr const char* kPageFile = "colc-report.html";
constexpr const char* kReferenceFile = "colc-reference.png";
constexpr const char* kStartViewFile = "colc-start-view.png";
const struct {
  const char* annotation;
  const char* file;
  const char* caption;
} kRecordFigures[] = {
    {"Color image", "colc-color-image.png", "Color image: the camera's view at the calibrated settings"},
    {"Mapped color image", "colc-mapped-color-image.png", "Mapped color image: the same, through the pel maps"},
    {"Monochrome image", "colc-monochrome-image.png", "Monochrome image: the camera's grey view"},
};

constexpr const char* kPlaneColours[3] = {"#c62828", "#2e7d32", "#1565c0"};

// The record with the annotation, or null.
const kcDiagRecord* recordNamed(const kcDiagObject& diag, const std::string& annotation) {
  for (long i = 0; i < diag.numRecords(); ++i)
    if (diag.diagRecord(i).annotation() == annotation) return &diag.diagRecord(i);
  return nullptr;
}

std::vector<kcUIText> textsOf(const kcDiagRecord& record) {
  std::vector<kcUIText> texts;
  for (const auto& s : record.sketches()) texts.insert(texts.end(), s.sketch.texts().begin(), s.sketch.texts().end());
  return texts;
}

// Writes the images and returns their figures.
std::vector<Figure> writeFigures(const std::string& folder, const CalibrationRun& run,
                                 const kc3PlanePelBuffer& reference) {
  std::vector<Figure> figures;
  auto colour = [&](const std::string& file, const std::string& caption, const kc3PlanePelBuffer& image,
                    std::vector<kcUIText> texts) {
    writeImage(folder + "/" + file, image);
    figures.push_back({file, caption, image.width(), image.height(), std::move(texts)});
  };
  colour(kReferenceFile, "The reference", reference, {});
  colour(kStartViewFile, "The camera's view at the start settings", run.startView, {});
  for (const auto& r : kRecordFigures) {
    const kcDiagRecord* record = recordNamed(run.diagnostics, r.annotation);
    if (record == nullptr) continue;
    if (!record->colorImages().empty()) {
      colour(r.file, r.caption, record->colorImages().front(), textsOf(*record));
    } else if (!record->greyImages().empty()) {
      const auto& grey = record->greyImages().front();
      writeImage(folder + "/" + r.file, grey);
      figures.push_back({r.file, r.caption, grey.width(), grey.height(), textsOf(*record)});
    }
  }
  return figures;
}

std::string summaryHtml(const CalibrationSetup& setup, const CalibrationRun& run) {
  const kcColorCalibrationResult& r = run.result;
  std::ostringstream html;
  html << "<p>The " << escaped(setup.camera) << ", calibrated against " << escaped(setup.reference) << " by the "
       << searchName(run.search) << " search in " << run.acquisitions.size() << " acquisitions, "
       << escaped(timeText(run)) << ".</p>\n";
  if (run.target) {
    // How well the found pose explains the view: a doubtful pose can make
    // maps that are off, so the page says so where it is read first.
    html << "<p id=\"target\">The target was " << escaped(kfTargetFindingText(*run.target, {})) << ".";
    if (kfTargetMatchIsDoubtful(*run.target))
      html << " <strong>The pose explains the view only moderately</strong>: check the target's placement and that "
              "the reference is its image.";
    html << "</p>\n";
  }
  html << "<table><tr><th></th><th>start</th><th>calibrated</th></tr>\n";
  const struct {
    const char* name;
    double start, calibrated;
  } settings[] = {{"exposure (s)", run.start.exposure(), r.exposure()},
                  {"contrast", run.start.contrast(), r.contrast()},
                  {"brightness", run.start.brightness(), r.brightness()}};
  for (const auto& s : settings)
    html << "<tr><th>" << s.name << "</th><td>" << fixed(s.start, 6) << "</td><td>" << fixed(s.calibrated, 6)
         << "</td></tr>\n";
  html << "<tr><th>input table</th><td></td><td>" << (r.positive8BitLut() ? "positive (identity)" : "the camera's own")
       << "</td></tr></table>\n";

  html << "<table><tr><th>channel</th><th>gain</th><th>offset</th><th>RMS error</th>"
          "<th>difference before</th><th>difference after</th></tr>\n";
  for (std::size_t k = 0; k < 3; ++k) {
    html << "<tr><th>" << planeName(k) << "</th>";
    if (k < r.channelResults().size()) {
      const auto& c = r.channelResults()[k];
      html << "<td>" << fixed(c.gain(), 4) << "</td><td>" << fixed(c.offset(), 2) << "</td><td>"
           << rmsErrorText(c.rmsError(), 2) << "</td>";
    } else {
      html << "<td></td><td></td><td></td>";
    }
    html << "<td>" << fixed(run.before[k], 2) << "</td><td>" << fixed(run.after[k], 2) << "</td></tr>\n";
  }
  html << "</table>\n";
  return html.str();
}

// The verdict first: a line when the calibration helped, a banner over
// everything else when it did not, so the page is never taken for a success.
std::string verdictHtml(const CalibrationRun& run) {
  if (run.verdict.helped) {
    // Regions lost to clipping mark the line as a warning: their colour is gone.
    const bool clipped = run.colour.clipped.total > 0;
    std::string html = std::string("<p id=\"helped\"") + (clipped ? " class=\"clipped\"" : "") +
                       "><strong>The calibration helped:</strong> every plane is clearly closer to the reference.";
    if (clipped) html += " " + escaped(clippedRegionsText(run.colour.clipped, run.colour.start.perRegion.size()));
    return html + "</p>\n";
  }
  std::string html =
      "<div id=\"did-not-help\"><p><strong>The calibration did not help.</strong> Its result "
      "should not be used:</p><ul>\n";
  for (const std::string& reason : run.verdict.reasons) html += "<li>" + escaped(reason) + "</li>\n";
  return html + "</ul></div>\n";
}

// How the search that ran moves, so that its dots can be read.
const char* searchPathText(CalibrationSearch search) {
  if (search == CalibrationSearch::full)
    return "The full search tries the neighbours of the best settings in cycles, two images each, widening the "
           "step after a cycle that improved and narrowing it after one that did not.";
  return "The quick search takes one image at the start settings and a few probes, from which it learns how the "
         "camera responds; it then measures candidates spread around the model's best settings, one image each, "
         "in spans that shrink whenever a candidate is no better.";
}

}  // namespace

std::string reportPage(const std::string& folder) { return folder + "/" + kPageFile; }

std::vector<std::string> reportFiles(const std::string& folder) {
  std::vector<std::string> files{reportPage(folder), folder + "/" + kReferenceFile, folder + "/" + kStartViewFile};
  for (const auto& r : kRecordFigures) files.push_back(folder + "/" + r.file);
  files.push_back(folder + "/" + kColourErrorFile);
  return files;
}

void writeReport(const std::string& folder, const CalibrationSetup& setup, const CalibrationRun& run,
                 const kc3PlanePelBuffer& reference) {
  makeFolder(folder);
  const std::vector<Figure> figures = writeFigures(folder, run, reference);

  std::ostringstream html;
  html << pageHead("colc calibration report") << verdictHtml(run) << kMissingImagesLine << summaryHtml(setup, run)
       << colourErrorSection(folder, run.colour);

  html << "<h2>Images</h2>\n<p>The difference columns above are the mean absolute difference per plane between "
          "the camera's view, resampled onto the reference's grid, and the reference: at the start settings, and "
          "at the calibrated settings through the whole correction (the colour correction when one was adopted, "
          "otherwise the pel maps). The last three images are the calibration's own "
          "record of its result, each with its settings under it.</p>\n"
       << figuresHtml(figures);

  html << "<h2>Transfers</h2>\n<p>Each channel's pel map: the corrected value for every camera value. The dashed "
          "diagonal is no correction; a steeper curve stretches the channel, a shifted one lifts or lowers it.</p>\n";
  for (std::size_t k = 0; k < run.result.channelResults().size() && k < 3; ++k)
    html << transferChart(run.result.channelResults()[k], planeName(k), kPlaneColours[k]);

  html << "\n<h2>Search path</h2>\n<p>The settings of every acquisition (dots) and the best settings as the search "
          "found them (line). "
       << searchPathText(run.search) << "</p>\n"
       << searchPathChart(run.acquisitions, bestSettingsAlong(run.steps)) << kPageEnd;

  writeOutputFile(reportPage(folder), "report page", [&](std::ostream& page) { page << html.str(); });
}
