#include "app/report_charts.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "app/presentation.h"

namespace {

// A number as SVG wants it: short, with a point.
std::string num(double value) { return fixed(value, 2); }

std::string text(double x, double y, const std::string& content, const std::string& anchor = "start") {
  return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"" + anchor + "\">" + content + "</text>";
}

std::string line(double x0, double y0, double x1, double y1, const std::string& cls) {
  return "<line class=\"" + cls + "\" x1=\"" + num(x0) + "\" y1=\"" + num(y0) + "\" x2=\"" + num(x1) + "\" y2=\"" +
         num(y1) + "\"/>";
}

// A linear map of [from0, from1] onto [to0, to1].
struct Scale {
  double from0, from1, to0, to1;
  double operator()(double v) const { return to0 + (v - from0) / (from1 - from0) * (to1 - to0); }
};

}  // namespace

std::string transferChart(const kcColorCalibrationChannelResult& channel, const std::string& name,
                          const std::string& colour) {
  constexpr double kLeft = 34, kTop = 28, kSize = 200;
  const Scale x{0, 255, kLeft, kLeft + kSize};
  const Scale y{0, 255, kTop + kSize, kTop};
  std::string svg = "<svg class=\"chart\" viewBox=\"0 0 250 262\" width=\"250\" height=\"262\" role=\"img\">";
  svg += "<title>" + name + " transfer</title>";
  svg += text(kLeft, 16,
              name + ": gain " + formatted("%.4f", channel.gain()) + ", offset " + formatted("%.2f", channel.offset()));
  for (int v : {0, 64, 128, 192, 255}) {
    svg += line(x(v), y(0), x(v), y(255), "grid") + line(x(0), y(v), x(255), y(v), "grid");
    svg += text(x(v), y(0) + 14, std::to_string(v), "middle") + text(x(0) - 4, y(v) + 4, std::to_string(v), "end");
  }
  svg += line(x(0), y(0), x(255), y(255), "identity");
  svg += "<polyline fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\" points=\"";
  const std::vector<unsigned char>& map = channel.pelmap();
  for (int v = 0; v < 256; ++v) svg += num(x(v)) + "," + num(y(map.empty() ? v : map[v])) + " ";
  svg += "\"/>";
  svg += text(kLeft + kSize / 2, kTop + kSize + 32, "camera pel value", "middle");
  return svg + "</svg>";
}

std::string searchPathChart(const std::vector<kcColorCameraSettings>& acquisitions,
                            const std::vector<BestChange>& best) {
  constexpr double kLeft = 70, kWidth = 800, kPanel = 120, kGap = 34, kTop = 20;
  const double last = std::max<double>(1.0, static_cast<double>(acquisitions.size()) - 1.0);
  const Scale x{0, last, kLeft, kLeft + kWidth};
  // Dots as large as they can be without merging: a few dozen acquisitions
  // get large ones, a thousand small ones that still show.
  const double dotRadius = std::clamp(kWidth / 4.0 / static_cast<double>(acquisitions.size() + 1), 2.2, 4.5);

  // Exposure spans decades; zero, which a range may allow, is drawn at the floor.
  double lowest = 1.0, highest = 1e-6;
  for (const auto& s : acquisitions)
    if (s.exposure() > 0) lowest = std::min(lowest, s.exposure()), highest = std::max(highest, s.exposure());
  const double decade0 = std::floor(std::log10(std::min(lowest, highest)));
  const double decade1 = std::max(decade0 + 1, std::ceil(std::log10(highest)));
  auto logExposure = [=](double e) { return e > 0 ? std::log10(e) : decade0; };

  struct Panel {
    const char* name;
    std::function<double(const kcColorCameraSettings&)> value;
    double low, high;
    std::vector<std::pair<double, std::string>> ticks;
  };
  std::vector<std::pair<double, std::string>> decades;
  for (double d = decade0; d <= decade1; ++d) decades.emplace_back(d, formatted("%g", std::pow(10.0, d)));
  const Panel panels[3] = {
      {"exposure (s)", [&](const kcColorCameraSettings& s) { return logExposure(s.exposure()); }, decade0, decade1,
       decades},
      {"contrast",
       [](const kcColorCameraSettings& s) { return s.contrast(); },
       0,
       1,
       {{0, "0"}, {0.5, "0.5"}, {1, "1"}}},
      {"brightness",
       [](const kcColorCameraSettings& s) { return s.brightness(); },
       0,
       1,
       {{0, "0"}, {0.5, "0.5"}, {1, "1"}}},
  };

  const double height = kTop + 3 * (kPanel + kGap) + 10;
  std::string svg = "<svg class=\"chart path\" viewBox=\"0 0 " + num(kLeft + kWidth + 20) + " " + num(height) +
                    "\" role=\"img\"><title>search path</title>";
  for (int p = 0; p < 3; ++p) {
    const Panel& panel = panels[p];
    const double top = kTop + p * (kPanel + kGap);
    const Scale y{panel.low, panel.high, top + kPanel, top};
    svg += text(kLeft, top - 6, panel.name);
    for (const auto& [value, label] : panel.ticks)
      svg += line(x(0), y(value), x(last), y(value), "grid") + text(kLeft - 6, y(value) + 4, label, "end");
    svg += "<g class=\"tried\">";
    for (std::size_t i = 0; i < acquisitions.size(); ++i)
      svg += "<circle cx=\"" + num(x(i)) + "\" cy=\"" + num(y(panel.value(acquisitions[i]))) + "\" r=\"" +
             num(dotRadius) + "\"/>";
    svg += "</g><polyline class=\"best\" points=\"";
    for (std::size_t c = 0; c < best.size(); ++c) {
      const double until = c + 1 < best.size() ? best[c + 1].acquisition : last;
      const double v = y(panel.value(best[c].settings));
      svg += num(x(best[c].acquisition)) + "," + num(v) + " " + num(x(until)) + "," + num(v) + " ";
    }
    svg += "\"/>";
  }
  // Acquisition numbers under the last panel, at a round step.
  const double axis = kTop + 3 * kPanel + 2 * kGap;
  const double step = std::max(1.0, std::pow(10.0, std::floor(std::log10(last / 2))));
  for (double i = 0; i <= last; i += step * (last / step > 10 ? 2 : 1))
    svg += text(x(i), axis + 14, formatted("%.0f", i), "middle");
  svg += text(kLeft + kWidth / 2, height - 2, "acquisition", "middle");
  return svg + "</svg>";
}
