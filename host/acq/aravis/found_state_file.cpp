#include "host/acq/aravis/found_state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "colc/host/exceptions.h"
#include "host/runtime/output_file.h"
#include "host/runtime/regular_file.h"

namespace {

constexpr const char* kFormatLine = "colc found camera state 1";
// A state file holds a few thousand short lines at most.
constexpr std::uint64_t kMaxFileBytes = 1u << 20;

std::string fileName(const std::string& cameraName) {
  std::string name;
  for (const char c : cameraName) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '-' || c == '_';
    name += plain ? c : '_';
  }
  return name + ".found";
}

}  // namespace

std::string kfDefaultFoundStateFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/colc";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/colc";
  throw kcIOError("no folder for what colc finds on a camera: set XDG_STATE_HOME or HOME");
}

kcFoundStateFile::kcFoundStateFile(const std::string& folder, const std::string& cameraName)
    : cameraName_(cameraName),
      path_((folder.empty() ? kfDefaultFoundStateFolder() : folder) + "/cameras/" + fileName(cameraName)) {}

std::optional<std::vector<std::string>> kcFoundStateFile::read() const {
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) return std::nullopt;
  const std::vector<unsigned char> bytes = kfReadRegularFile(path_, kMaxFileBytes, "camera state file");
  std::vector<std::string> lines;
  std::string line;
  for (const unsigned char c : bytes) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  const bool complete = line.empty() && lines.size() >= 2;
  if (!complete || lines[0] != kFormatLine || lines[1] != "camera " + kfRecordField(cameraName_))
    throw kcIOError("camera state file '" + path_ + "' is not one colc wrote for camera " + cameraName_ +
                    ": check the camera's settings, then remove the file");
  lines.erase(lines.begin(), lines.begin() + 2);
  return lines;
}

void kcFoundStateFile::write(const std::vector<std::string>& lines) const {
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw kcIOError("cannot make the folder '" + folder.string() + "': " + error.message());
  std::string text = std::string(kFormatLine) + "\ncamera " + kfRecordField(cameraName_) + "\n";
  for (const std::string& line : lines) text += line + "\n";
  kfWriteOutputFile(path_, "camera state file", text);
}

void kcFoundStateFile::remove() const noexcept { std::remove(path_.c_str()); }

std::string kfRecordField(const std::string& text) {
  if (text.empty()) return "%";  // an empty field stays a field
  std::string field;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == '%' || byte == 0x7f) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      field += escaped;
    } else {
      field += c;
    }
  }
  return field;
}

std::string kfRecordFieldText(const std::string& field) {
  if (field == "%") return "";
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size()) {
      text += static_cast<char>(std::strtol(field.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      text += field[i];
    }
  }
  return text;
}

kcIOError kfUnreadableRecordLine(const std::string& line) {
  return kcIOError("a camera state line cannot be read: '" + line.substr(0, 80) + "'");
}

std::int64_t kfRecordInteger(const std::string& field, const std::string& line, std::int64_t min, std::int64_t max) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(field.c_str(), &end, 10);
  if (field.empty() || *end != '\0' || errno != 0 || value < min || value > max) throw kfUnreadableRecordLine(line);
  return value;
}

double kfRecordFloat(const std::string& field, const std::string& line) {
  char* end = nullptr;
  const double value = std::strtod(field.c_str(), &end);
  if (field.empty() || *end != '\0') throw kfUnreadableRecordLine(line);
  return value;
}

std::string kfRecordFloatText(double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.17g", value);
  return digits;
}

std::vector<std::string> kfRecordFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = line.find(' ', start);
    fields.push_back(line.substr(start, space - start));
    if (space == std::string::npos) return fields;
    start = space + 1;
  }
}
