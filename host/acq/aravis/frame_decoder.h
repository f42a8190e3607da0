// Camera frames into colour images: the 8-bit pel formats colc can take
// from a GenICam camera, and their conversion with OpenCV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "colc/host/imaging.h"

// The GenICam names of the pel formats colc decodes, best first: colour
// formats before Bayer mosaics (which lose detail to demosaicing) before
// grey.
const std::vector<std::string>& kfDecodablePixelFormats();

// A frame as a new colour image (planes red, green, blue). pixelFormat is
// the frame's GenICam pel format code; rows are stride bytes apart. Bayer
// mosaics are demosaiced bilinearly; a grey frame gives three equal planes.
// kcBadArgument for a format colc does not decode, a size that is not
// positive, or fewer than height rows of data.
kc3PlanePelBuffer kfDecodeFrame(std::uint32_t pixelFormat, int width, int height, std::size_t stride,
                                const void* data, std::size_t size);
