#include "host/imaging/image_file.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "colc/host/improc.h"
#include "host/imaging/cv_bridge.h"
#include "host/imaging/image_header.h"
#include "host/imaging/png_resolution.h"
#include "host/runtime/output_file.h"
#include "host/runtime/regular_file.h"

namespace {

// The most bytes a file of maxPels pels may need: 16-bit colour and alpha
// stored raw, and room for whatever metadata precedes the pels.
std::uint64_t maxImageFileBytes(unsigned long maxPels) { return 8ull * maxPels + (16u << 20); }

kcIOError readError(const std::string& path, const std::string& cause) {
  return kcIOError("cannot read image file '" + path + "': " + cause);
}

kcIOError writeError(const std::string& path, const std::string& cause) {
  return kcIOError("cannot write image file '" + path + "': " + cause);
}

// The JPEG decoder fills a truncated file up with grey and only warns; a
// complete JPEG file ends with its end-of-image marker (0xFF 0xD9), allowing
// for a little padding some writers append.
bool truncatedJpeg(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  const std::size_t tail = std::min<std::size_t>(bytes.size(), 64);
  for (std::size_t i = bytes.size() - tail; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xD9) return false;
  return true;
}

// Refuses, from the header, an image beyond the limits before the decoder
// allocates its pels.
void checkDeclaredSize(const std::string& path, const std::vector<unsigned char>& bytes, unsigned long maxPels) {
  const std::optional<kcImageFileSize> size = kfImageFileSize(bytes);
  if (!size) throw readError(path, "not a PNG, TIFF, BMP or JPEG image, or its header is corrupt");
  const std::string declared = std::to_string(size->width) + " x " + std::to_string(size->height) + " pels";
  if (size->width > kMaxImageSide || size->height > kMaxImageSide)
    throw kcImageTooLarge("cannot read image file '" + path + "': it declares " + declared + ", more than " +
                          std::to_string(kMaxImageSide) + " pels a side");
  if (static_cast<unsigned long long>(size->width) * size->height > maxPels)
    throw kcImageTooLarge("cannot read image file '" + path + "': it declares " + declared + ", more than the " +
                          std::to_string(maxPels) + " pels allowed");
}

cv::Mat decodeBGR(const std::string& path, unsigned long maxPels) {
  const std::vector<unsigned char> bytes = kfReadRegularFile(path, maxImageFileBytes(maxPels), "image file");
  if (bytes.empty()) throw readError(path, "the file is empty");
  checkDeclaredSize(path, bytes, maxPels);
  if (truncatedJpeg(bytes)) throw readError(path, "the JPEG data is truncated");
  cv::Mat bgr;
  try {
    bgr = cv::imdecode(bytes, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  } catch (const cv::Exception& e) {
    throw readError(path, "the decoder failed: " + e.msg);
  }
  if (bgr.empty()) throw readError(path, "not a PNG, TIFF, BMP or JPEG image, or its data are corrupt");
  return bgr;
}

std::string lowerCaseExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

std::vector<unsigned char> encode(const std::string& path, const cv::Mat& pels) {
  const std::string ext = lowerCaseExtension(path);
  static const char* const known[] = {".png", ".tif", ".tiff", ".bmp", ".jpg", ".jpeg"};
  if (std::find(std::begin(known), std::end(known), ext) == std::end(known))
    throw writeError(path, "unknown image file type '" + ext + "' (use .png, .tif, .tiff, .bmp, .jpg or .jpeg)");
  std::vector<unsigned char> bytes;
  try {
    if (!cv::imencode(ext, pels, bytes, {cv::IMWRITE_JPEG_QUALITY, 95}))
      throw writeError(path, "the encoder refused the image");
  } catch (const cv::Exception& e) {
    throw writeError(path, "the encoder failed: " + e.msg);
  }
  return bytes;
}

// A print resolution of 0 pels per metre writes none.
void writeAtomically(const std::string& path, const cv::Mat& pels, std::uint32_t pelsPerMetre = 0) {
  if (pels.empty()) throw kcBadArgument("cannot write image file '" + path + "': the window is empty");
  // What cannot be replaced is refused before the work of encoding.
  kcOutputFile file(path, "image file");
  std::vector<unsigned char> bytes = encode(path, pels);
  if (pelsPerMetre != 0) bytes = kfPngWithResolution(bytes, pelsPerMetre);
  file.write(bytes.data(), bytes.size());
  file.commit();
}

}  // namespace

kc3PlanePelBuffer kfReadColorImageFile(const std::string& path, unsigned long maxPels) {
  return kf3PlanePelBufferFromBGR(decodeBGR(path, maxPels));
}

kcPelBuffer<unsigned char> kfReadGreyImageFile(const std::string& path, unsigned long maxPels) {
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(kfReadColorImageFile(path, maxPels), grey);
  return grey;
}

void kfWriteImageFile(const std::string& path, const kc3PlanePelBuffer& image) {
  if (!image.isBound()) throw kcBadPointer("cannot write image file '" + path + "': unbound colour image");
  writeAtomically(path, kfBGRMat(image));
}

void kfWriteImageFile(const std::string& path, const kcPelBuffer_const<unsigned char>& image) {
  if (!image.isBound()) throw kcBadPointer("cannot write image file '" + path + "': unbound image");
  writeAtomically(path, kfMatView(image));
}

void kfWritePrintImageFile(const std::string& path, const kc3PlanePelBuffer& image, std::uint32_t pelsPerMetre) {
  if (!image.isBound()) throw kcBadPointer("cannot write image file '" + path + "': unbound colour image");
  if (lowerCaseExtension(path) != ".png")
    throw kcBadArgument("cannot write image file '" + path + "': a print resolution goes into .png files only");
  if (pelsPerMetre == 0) throw kcBadArgument("cannot write image file '" + path + "': 0 pels per metre");
  writeAtomically(path, kfBGRMat(image), pelsPerMetre);
}
