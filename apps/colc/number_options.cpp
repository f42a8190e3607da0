#include "number_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "host/runtime/number_text.h"

namespace {

CLI::Validator finiteNumber(double min, double max, const std::string& range) {
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value < min || value > max)
          return "'" + text + "' is not a finite number " + range;
        return "";
      },
      "");
}

}  // namespace

CLI::Validator finiteNumberAtLeast(double min) {
  return finiteNumber(min, HUGE_VAL, "at or above " + kfNumberText(min));
}

CLI::Validator finiteNumberIn(double min, double max) {
  return finiteNumber(min, max, "from " + kfNumberText(min) + " to " + kfNumberText(max));
}

CLI::Validator wholeNumberAtLeast(unsigned long min) {
  return CLI::Validator(
      [min](std::string& text) -> std::string {
        unsigned long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min)
          return "'" + text + "' is not a whole number at or above " + std::to_string(min);
        return "";
      },
      "");
}
