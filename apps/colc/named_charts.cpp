#include "named_charts.h"

#include <algorithm>

#include "app/exit_status.h"
#include "app/files.h"
#include "host/charts/common_chart.h"

namespace {

const std::string kChartPrefix = "chart:";

kc3PlanePelBuffer drawColcTarget(long width) { return kfSimTargetChart(width); }
kc3PlanePelBuffer drawCommonChart(long width) { return kfCommonChart(width); }

}  // namespace

const std::vector<NamedChart>& namedCharts() {
  static const std::vector<NamedChart> charts{{"colc", "the built-in target", drawColcTarget},
                                              {"24-patch", "the common 24-patch chart", drawCommonChart}};
  return charts;
}

std::vector<std::string> namedChartNames() {
  std::vector<std::string> names;
  for (const NamedChart& chart : namedCharts()) names.push_back(chart.name);
  return names;
}

const NamedChart& namedChart(const std::string& name) {
  const std::vector<NamedChart>& charts = namedCharts();
  const auto found = std::find_if(charts.begin(), charts.end(), [&](const NamedChart& c) { return c.name == name; });
  if (found != charts.end()) return *found;
  std::string known;
  for (const NamedChart& chart : charts) known += (known.empty() ? "" : ", ") + kChartPrefix + chart.name;
  throw CommandFailure(ExitStatus::usage, "there is no chart '" + name + "' (there are " + known + ")");
}

bool namesChart(const std::string& option) { return option.rfind(kChartPrefix, 0) == 0; }

kc3PlanePelBuffer readReference(const std::string& option, long chartWidth) {
  if (option.empty()) return namedCharts().front().draw(chartWidth);
  if (namesChart(option)) return namedChart(option.substr(kChartPrefix.size())).draw(chartWidth);
  return readColorImage(option);
}

std::string referenceName(const std::string& option) {
  if (option.empty()) return namedCharts().front().description;
  if (namesChart(option)) return namedChart(option.substr(kChartPrefix.size())).description;
  return "'" + option + "'";
}
