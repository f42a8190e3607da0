#include "show_command.h"

#include <nlohmann/json.hpp>

#include "app/calibration_context.h"
#include "app/correction_stage.h"
#include "app/files.h"
#include "app/presentation.h"
#include "app/printable_text.h"

namespace {

std::string row(const char* name, const std::string& value) { return formatted("%-20s %s\n", name, value.c_str()); }

std::string acquisitionText(const kcAcquireInfo& info) {
  const kcAcqFailure failure = info.failure();
  if (!failure.isFailure()) return std::to_string(info.sequence()) + ", succeeded";
  return std::to_string(info.sequence()) + ", failed (" + std::to_string(failure.status()) +
         (failure.description().empty() ? "" : ": " + printableText(failure.description())) + ")";
}

void showText(std::ostream& out, const std::string& path, const kcColorCalibrationResult& r) {
  out << "calibration result in " << path << "\n"
      << row("exposure", fixed(r.exposure(), 6)) << row("contrast", fixed(r.contrast(), 6))
      << row("brightness", fixed(r.brightness(), 6))
      << row("input table", r.positive8BitLut() ? "positive (identity)" : "the camera's own")
      << row("last acquisition", acquisitionText(r.acqInfo())) << "\n";
  out << formatted("%-8s %12s %12s %12s  %s\n", "channel", "gain", "offset", "rmsError", "pel map");
  for (std::size_t k = 0; k < r.channelResults().size(); ++k) {
    const auto& c = r.channelResults()[k];
    const std::string pelMap = c.pelmap().empty() ? "identity" : std::to_string(c.pelmap().size()) + " entries";
    out << formatted("%-8s %12.6f %12.6f %12s  %s\n", planeName(k).c_str(), c.gain(), c.offset(),
                     rmsErrorText(c.rmsError(), 6).c_str(), pelMap.c_str());
  }
}

std::string contextRow(const char* name, const std::string& value) {
  return formatted("%-20s %s\n", name, value.empty() ? "not given" : printableText(value).c_str());
}

void printContext(std::ostream& out, const kcCalibrationContext& c) {
  out << "made from\n";
  if (c.photo.empty()) {
    out << contextRow("camera", c.cameraVendor + " " + c.cameraModel) << contextRow("serial number", c.cameraSerial)
        << contextRow("firmware", c.cameraFirmware) << contextRow("pel format", c.pelFormat)
        << contextRow("region", formatted("%ld x %ld pels at (%ld, %ld)", c.regionWidth, c.regionHeight, c.regionX,
                                   c.regionY))
        << contextRow("search", c.search);
  } else {
    out << contextRow("photograph", c.photo);
  }
  out << contextRow("date", c.date) << contextRow("reference SHA-256", c.referenceSha256) << contextRow("colc version", c.colcVersion);
  if (c.hasColourError)
    out << contextRow("CIEDE2000 mean/max", fixed(c.colourErrorMean, 2) + " / " + fixed(c.colourErrorMax, 2));
}

void showCorrection(std::ostream& out, const StoredCalibration& c) {
  if (!c.correction) {
    out << "\nno colour correction: images are corrected through the pel maps\n";
    return;
  }
  out << "\ncolour correction, in place of the pel maps, on "
      << (c.correction->domain() == kcColorCorrection::Domain::linear ? "linear light" : "encoded values")
      << " (0..1)\n";
  char line[256];
  std::snprintf(line, sizeof line, "%-8s %12s %12s %12s %12s\n", "output", "red", "green", "blue", "offset");
  out << line;
  for (std::size_t k = 0; k < 3; ++k) {
    const auto& row = c.correction->coefficients()[k];
    std::snprintf(line, sizeof line, "%-8s %12.6f %12.6f %12.6f %12.6f\n", planeName(k).c_str(), row[0], row[1],
                  row[2], row[3]);
    out << line;
  }
}

void showText(std::ostream& out, const std::string& path, const StoredCalibration& c) {
  showText(out, path, c.result);
  showCorrection(out, c);
  out << "\n";
  if (c.context)
    printContext(out, *c.context);
  else
    out << "no record of the camera, date or reference it was made with\n";
}

void showText(std::ostream& out, const std::string& path, const kcColorCalibrationParams& p) {
  auto varied = [](bool on) { return std::string(on ? "searched" : "kept as found"); };
  const kcRange range = p.exposureRange();
  out << "calibration parameters in " << path << "\n"
      << row("exposure", varied(p.isExposureEnabled())) << row("contrast", varied(p.isContrastEnabled()))
      << row("brightness", varied(p.isBrightnessEnabled()))
      << row("exposure range",
             range.isEmpty() ? "empty" : formatted("%g .. %g s", range.start(), range.end()))
      << row("min exposure step", formatted("%g s", p.minExposureStepSize()))
      << row("input table", p.usePositive8BitLut() ? "load the positive one" : "keep the camera's")
      << row("pel mapping", p.allowPelMapping() ? "yes" : "no");
}

nlohmann::ordered_json toJson(const kcColorCalibrationResult& r) {
  nlohmann::ordered_json channels = nlohmann::ordered_json::array();
  for (const auto& c : r.channelResults()) {
    nlohmann::ordered_json channel = channelJson(c);
    channel["pelmap"] = c.pelmap();
    channels.push_back(channel);
  }
  const kcAcqFailure failure = r.acqInfo().failure();
  return {
      {"record", "result"},
      {"exposure", r.exposure()},
      {"contrast", r.contrast()},
      {"brightness", r.brightness()},
      {"positive8BitLut", r.positive8BitLut()},
      {"acqInfo",
       {{"sequence", r.acqInfo().sequence()}, {"failure", failure.status()}, {"description", failure.description()}}},
      {"channels", channels}};
}

nlohmann::ordered_json toJson(const StoredCalibration& c) {
  nlohmann::ordered_json json = toJson(c.result);
  json["colorCorrection"] = colorCorrectionJson(c.correction);
  json["context"] = c.context ? contextJson(*c.context) : nlohmann::ordered_json(nullptr);
  return json;
}

nlohmann::ordered_json toJson(const kcColorCalibrationParams& p) {
  const kcRange range = p.exposureRange();
  return {{"record", "parameters"},
          {"isExposureEnabled", p.isExposureEnabled()},
          {"isContrastEnabled", p.isContrastEnabled()},
          {"isBrightnessEnabled", p.isBrightnessEnabled()},
          {"minExposureStepSize", p.minExposureStepSize()},
          {"exposureRange",
           range.isEmpty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json{range.start(), range.end()}},
          {"usePositive8BitLut", p.usePositive8BitLut()},
          {"allowPelMapping", p.allowPelMapping()}};
}

}  // namespace

CLI::App* addShowCommand(CLI::App& app, ShowOptions& o) {
  CLI::App* c = app.add_subcommand("show", "print a stored calibration result or parameter archive");
  c->add_option("archive", o.archive, "the archive file")->required();
  c->add_flag("--json", o.json,
              "print one JSON object; its key \"record\" is \"result\" or \"parameters\"; a result has "
              "\"colorCorrection\" (null when none) and \"context\", whom it belongs to (null when not stored)");
  return c;
}

void runShow(const ShowOptions& o, std::ostream& out) {
  std::visit(
      [&](const auto& record) {
        if (o.json)
          // A stored text need not be UTF-8; what is not is shown as U+FFFD.
          out << toJson(record).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        else
          showText(out, o.archive, record);
      },
      readRecordArchive(o.archive));
}
