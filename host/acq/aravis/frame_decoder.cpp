#include "host/acq/aravis/frame_decoder.h"

#include <arv.h>

#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "host/imaging/cv_bridge.h"

namespace {

struct Format {
  const char* name;
  std::uint32_t code;
  int channels;
  // OpenCV's conversion to blue-green-red, or -1 for the unconverted ones.
  int toBGR;
};

// OpenCV names a Bayer pattern by the second row's second and third pels,
// GenICam by the first row's first two: GenICam's BayerRG is OpenCV's BayerBG.
const Format kFormats[] = {
    {"RGB8", ARV_PIXEL_FORMAT_RGB_8_PACKED, 3, -1},
    {"BGR8", ARV_PIXEL_FORMAT_BGR_8_PACKED, 3, -1},
    {"BayerRG8", ARV_PIXEL_FORMAT_BAYER_RG_8, 1, cv::COLOR_BayerBG2BGR},
    {"BayerGR8", ARV_PIXEL_FORMAT_BAYER_GR_8, 1, cv::COLOR_BayerGB2BGR},
    {"BayerGB8", ARV_PIXEL_FORMAT_BAYER_GB_8, 1, cv::COLOR_BayerGR2BGR},
    {"BayerBG8", ARV_PIXEL_FORMAT_BAYER_BG_8, 1, cv::COLOR_BayerRG2BGR},
    {"Mono8", ARV_PIXEL_FORMAT_MONO_8, 1, -1},
};

const Format& formatOf(std::uint32_t code) {
  for (const Format& f : kFormats)
    if (f.code == code) return f;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08x", code);
  throw kcBadArgument(std::string("pel format ") + hex + " is not one colc decodes");
}

}  // namespace

const std::vector<std::string>& kfDecodablePixelFormats() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const Format& f : kFormats) v.emplace_back(f.name);
    return v;
  }();
  return names;
}

kc3PlanePelBuffer kfDecodeFrame(std::uint32_t pixelFormat, int width, int height, std::size_t stride,
                                const void* data, std::size_t size) {
  const Format& format = formatOf(pixelFormat);
  if (width <= 0 || height <= 0)
    throw kcBadArgument("frame of " + std::to_string(width) + " x " + std::to_string(height) + " pels");
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(format.channels);
  if (!data || stride < rowBytes || size < stride * static_cast<std::size_t>(height - 1) + rowBytes)
    throw kcBadArgument(std::string(format.name) + " frame of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pels with only " + std::to_string(size) + " bytes");
  // A header over the camera's bytes; every path below copies out of it.
  const cv::Mat frame(height, width, CV_8UC(format.channels), const_cast<void*>(data), stride);
  if (format.toBGR >= 0) {
    cv::Mat bgr;
    cv::cvtColor(frame, bgr, format.toBGR);
    return kf3PlanePelBufferFromBGR(bgr);
  }
  if (format.channels == 1) return kf3PlanePelBufferFromMats(frame.clone(), frame.clone(), frame.clone());
  cv::Mat planes[3];
  cv::split(frame, planes);
  const bool rgb = format.code == ARV_PIXEL_FORMAT_RGB_8_PACKED;
  return kf3PlanePelBufferFromMats(planes[rgb ? 0 : 2], planes[1], planes[rgb ? 2 : 0]);
}
