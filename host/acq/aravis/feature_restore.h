// The features colc changes on a camera for as long as it drives it, each
// remembered before its first change and put back when colc lets go.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class kcGenicamDevice;

class kcFeatureRestore {
 public:
  explicit kcFeatureRestore(kcGenicamDevice& device) : device_(device) {}

  // Writes an enumeration entry, an integer, or the sensor region,
  // remembering the value found before the first change of each.
  void setString(const char* feature, const std::string& value);
  void setInteger(const char* feature, std::int64_t value);
  void setRegion(long x, long y, long width, long height);

  // Puts everything back, last change first. A failing write is skipped;
  // nothing is written to a camera that no longer answers. Returns the
  // failures, one line each.
  std::vector<std::string> restore() noexcept;

 private:
  struct Region {
    long x, y, width, height;
  };
  struct Original {
    std::string feature;
    std::variant<std::string, std::int64_t, Region> value;
  };
  bool remembered(const std::string& feature) const;

  kcGenicamDevice& device_;
  std::vector<Original> originals_;
};
