// What the pages colc writes share: their style, their head, their
// figures, and a line that shows when the images beside a page are missing.
#pragma once

#include <string>
#include <vector>

#include "colc/host/display.h"

// The text with the characters HTML gives a meaning escaped.
std::string escaped(const std::string& text);

// The date and time now, to the minute, in local time.
std::string nowText();

// From <!DOCTYPE html> to the page's h1, which holds the title and nowText().
std::string pageHead(const std::string& title);
// A line hidden unless some of the page's images did not load.
inline constexpr const char* kMissingImagesLine =
    "<p id=\"missing\">Some images did not load: keep the PNG files beside this page.</p>\n";
inline constexpr const char* kPageEnd = "\n</body></html>\n";

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
std::string figureHtml(const Figure& f);

// Figures side by side, as many as the page's width holds.
std::string figuresHtml(const std::vector<Figure>& figures);
