#include "app/report_colour.h"

#include "app/files.h"
#include "app/presentation.h"

namespace {

std::string errorRow(const std::string& when, const ColourError& error) {
  return "<tr><td>" + when + "</td><td>" + fixed(error.mean, 2) + "</td><td>" + fixed(error.max, 2) +
         "</td></tr>\n";
}

std::string correctionTable(const kcColorCorrection& correction) {
  const char* names[3] = {"red", "green", "blue"};
  std::string html = std::string("<p>The colour correction, applied in place of the pel maps, on ") +
                     (correction.domain() == kcColorCorrection::Domain::linear ? "linear light" : "encoded values") +
                     " (0..1): each output plane from all three camera planes and an offset.</p>\n"
                     "<table><tr><th>output</th><th>red</th><th>green</th><th>blue</th><th>offset</th></tr>\n";
  for (std::size_t k = 0; k < 3; ++k) {
    html += std::string("<tr><td>") + names[k] + "</td>";
    for (double c : correction.coefficients()[k]) html += "<td>" + fixed(c, 4) + "</td>";
    html += "</tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string colourErrorSection(const std::string& folder, const ColourStage& colour) {
  writeImage(folder + "/" + kColourErrorFile, colour.errorPicture);
  std::string html =
      "<h2>Colour error</h2>\n<p>CIEDE2000 between the mean colour of each of the reference's " +
      std::to_string(colour.start.perRegion.size()) +
      " flat regions (areas whose pels' neighbourhoods are uniform) in the camera's view and in the reference; "
      "about 2.3 is a just noticeable difference.</p>\n"
      "<table><tr><th></th><th>mean</th><th>max</th></tr>\n" +
      errorRow("at the start settings", colour.start) + errorRow("calibrated, pel maps applied", colour.pelMaps);
  if (colour.correction) html += errorRow("calibrated, colour correction", colour.corrected);
  const CorrectionChoice& choice = colour.choice;
  if (choice.heldOutPelMaps && choice.heldOutCorrection)
    html += errorRow("each region left out of the fit: pel maps", *choice.heldOutPelMaps) +
            errorRow(std::string("each region left out of the fit: colour correction, ") + domainName(choice.domain),
                     *choice.heldOutCorrection);
  html += "</table>\n<p>" + correctionChoiceText(choice.outcome) + "</p>\n";
  if (const std::string clipped = clippedRegionsText(colour.clipped, colour.start.perRegion.size()); !clipped.empty())
    html += "<p>" + clipped + "</p>\n";
  if (colour.correction) html += correctionTable(*colour.correction);
  html += std::string("<figure><img src=\"") + kColourErrorFile +
          "\" alt=\"colour error per region\" style=\"width: 480px; image-rendering: pixelated\">"
          "<figcaption>The remaining error per region: green below 1, yellow at 2.3, red from 5 on; hatched in "
          "black: colour lost to clipping; grey is not judged.</figcaption></figure>\n";
  return html;
}
