// Image files: PNG, TIFF, BMP and JPEG, read into and written from our pel
// buffers. For host code and applications; the module itself reads and
// writes no files.
//
// Reading: the pels as stored (an orientation tag is not applied), 8 bits
// per channel (deeper files are scaled down, an alpha channel is dropped).
// A file that is missing, unreadable, empty, truncated or not an image in
// one of these formats throws kcIOError naming the file and the cause; so
// does what is not a regular file (a device, a named pipe), at once. An
// image whose header declares more than kMaxImageSide pels a side or more
// than maxPels pels throws kcImageTooLarge before anything is decoded, and
// a file larger than such an image could need is not read to its end.
//
// Writing: the file type follows the file name's extension (.png, .tif,
// .tiff, .bmp, .jpg, .jpeg, in any case); JPEG is written at quality 95.
// The image is written as kfWriteOutputFile writes (host/runtime/output_file.h):
// whole or not at all, and only over a regular file. kcBadPointer for an unbound image, kcBadArgument for an empty
// window, kcIOError for everything the file system or the encoder refuses.
#pragma once

#include <cstdint>
#include <string>

#include "colc/host/exceptions.h"
#include "colc/host/imaging.h"

// The resampling of our host handles images of at most this many pels a side.
inline constexpr unsigned long kMaxImageSide = 32766;
// The most pels a reader decodes unless told otherwise: 50 megapels, about
// 150 MB of colour pels, which calibration needs several times over.
inline constexpr unsigned long kDefaultMaxImagePels = 50'000'000;

class kcImageTooLarge : public kcIOError {
 public:
  using kcIOError::kcIOError;
};

// A colour image, planes red, green, blue; a grey file gives three equal
// planes. Offset (0, 0), window = the whole image, identity client transform.
kc3PlanePelBuffer kfReadColorImageFile(const std::string& path, unsigned long maxPels = kDefaultMaxImagePels);

// A grey image; a colour file is converted to its intensity (kfPelRGBToI).
kcPelBuffer<unsigned char> kfReadGreyImageFile(const std::string& path, unsigned long maxPels = kDefaultMaxImagePels);

// Writes the window of the image.
void kfWriteImageFile(const std::string& path, const kc3PlanePelBuffer& image);
void kfWriteImageFile(const std::string& path, const kcPelBuffer_const<unsigned char>& image);

// Writes the window of the image as a PNG file that states its print
// resolution, pelsPerMetre along both axes; kcBadArgument for another file
// type or 0 pels per metre.
void kfWritePrintImageFile(const std::string& path, const kc3PlanePelBuffer& image, std::uint32_t pelsPerMetre);
