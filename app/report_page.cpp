#include "app/report_page.h"

#include <ctime>

namespace {

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
.verdict { border-left: 6px solid #2e7d32; background: #e8f5e9; padding: 0.5em 1em; }
.verdict.warn { border-left-color: #e65100; background: #fff3e0; }
.verdict.bad { border-left-color: #b00020; background: #fdecea; }
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

std::string nowText() {
  const std::time_t now = std::time(nullptr);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&now));
  return text;
}

std::string pageHead(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + escaped(title) +
         "</title><style>" + kStyle + "</style><script>" + kImageCheck + "</script></head>\n<body>\n<h1>" +
         escaped(title) + " <small>" + nowText() + "</small></h1>\n";
}

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

std::string figuresHtml(const std::vector<Figure>& figures) {
  std::string html = "<div class=\"figures\">\n";
  for (const Figure& f : figures) html += figureHtml(f);
  return html + "</div>\n";
}
