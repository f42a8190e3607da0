#include "app/report.h"

#include <ctime>
#include <sstream>

#include "app/calibration_summary.h"
#include "colc/tool/target_pose.h"
#include "app/files.h"
#include "app/presentation.h"
#include "app/report_charts.h"
#include "app/report_colour.h"
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

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// An image of the report: its file, its size and what is drawn over it.
struct Figure {
  std::string file;
  std::string caption;
  long width = 0;
  long height = 0;
  std::vector<kcUIText> texts;
};

// The image, with the texts of its record under it as lines of the page:
// drawn over an image shrunk to the page, they could not be read.
std::string figureHtml(const Figure& f) {
  std::string html = "<figure><a href=\"" + f.file + "\"><img src=\"" + f.file + "\" width=\"" +
                     std::to_string(f.width) + "\" height=\"" + std::to_string(f.height) + "\" alt=\"" +
                     escaped(f.caption) + "\"></a><figcaption>" + escaped(f.caption);
  if (!f.texts.empty()) {
    html += "<span class=\"settings\">";
    for (const kcUIText& t : f.texts) html += "<br>" + escaped(t.text);
    html += "</span>";
  }
  return html + "</figcaption></figure>\n";
}

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

std::string nowText() {
  const std::time_t now = std::time(nullptr);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&now));
  return text;
}

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 2em auto; max-width: 1100px; padding: 0 1em; color: #222; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 2em; border-bottom: 1px solid #ccc; }
table { border-collapse: collapse; margin: 1em 0; } th, td { padding: 0.2em 0.8em; text-align: right; }
tr:nth-child(even) { background: #f4f4f4; } th:first-child, td:first-child { text-align: left; }
.figures { display: grid; grid-template-columns: repeat(auto-fill, minmax(320px, 1fr)); gap: 1em; }
figure { margin: 0; } figcaption { font-size: 0.9em; color: #555; }
figure img { display: block; width: 100%; height: auto; background: #ddd; }
.settings { display: block; font-family: monospace; color: #222; }
.chart text { font: 11px sans-serif; fill: #333; } .chart .grid { stroke: #ddd; }
.chart .identity { stroke: #999; stroke-dasharray: 4 3; }
.path { width: 100%; height: auto; } .path .tried circle { fill: #1565c0; fill-opacity: 0.6; }
.path .best { fill: none; stroke: #e65100; stroke-width: 2; }
#missing { display: none; color: #b00020; font-weight: bold; }
#helped { border-left: 6px solid #2e7d32; background: #e8f5e9; padding: 0.5em 1em; }
#helped.clipped { border-left-color: #e65100; background: #fff3e0; }
#did-not-help { border: 3px solid #b00020; background: #fdecea; color: #b00020; padding: 0.2em 1em; }
)";

// Marks the page with how many of its images loaded, and says so when some did not.
constexpr const char* kImageCheck = R"(
addEventListener("load", () => {
  const images = [...document.images];
  const loaded = images.filter(i => i.complete && i.naturalWidth > 0).length;
  document.body.dataset.imagesLoaded = loaded + "/" + images.length;
  if (loaded < images.length) document.getElementById("missing").style.display = "block";
});
)";

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
  html << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
       << "<title>colc calibration report</title><style>" << kStyle << "</style><script>" << kImageCheck
       << "</script></head>\n<body>\n<h1>colc calibration report <small>" << nowText() << "</small></h1>\n"
       << verdictHtml(run)
       << "<p id=\"missing\">Some images did not load: keep the PNG files beside this page.</p>\n"
       << summaryHtml(setup, run) << colourErrorSection(folder, run.colour);

  html << "<h2>Images</h2>\n<p>The difference columns above are the mean absolute difference per plane between "
          "the camera's view, resampled onto the reference's grid, and the reference: at the start settings, and "
          "at the calibrated settings through the whole correction (the colour correction when one was adopted, "
          "otherwise the pel maps). The last three images are the calibration's own "
          "record of its result, each with its settings under it.</p>\n<div class=\"figures\">\n";
  for (const Figure& f : figures) html << figureHtml(f);
  html << "</div>\n";

  html << "<h2>Transfers</h2>\n<p>Each channel's pel map: the corrected value for every camera value. The dashed "
          "diagonal is no correction; a steeper curve stretches the channel, a shifted one lifts or lowers it.</p>\n";
  for (std::size_t k = 0; k < run.result.channelResults().size() && k < 3; ++k)
    html << transferChart(run.result.channelResults()[k], planeName(k), kPlaneColours[k]);

  html << "\n<h2>Search path</h2>\n<p>The settings of every acquisition (dots) and the best settings as the search "
          "found them (line). "
       << searchPathText(run.search) << "</p>\n"
       << searchPathChart(run.acquisitions, bestSettingsAlong(run.steps)) << "\n</body></html>\n";

  writeOutputFile(reportPage(folder), "report page", [&](std::ostream& page) { page << html.str(); });
}
