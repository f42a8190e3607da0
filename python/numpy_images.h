// NumPy images and our pel buffers. An image is a uint8 array of shape
// (height, width, 3), its channels in the order the caller names ("bgr",
// as OpenCV's cv2 keeps them, or "rgb"), or (height, width) for grey.
//
// A grey array is used in place, a view; so is the grey plane behind a
// colour image made from it (three times the same plane). Colour arrays
// are interleaved while our images keep their planes apart, so they are
// copied once into planes, as are the colour images handed back; the
// corrections and colc.fit read (and write) interleaved pels where they
// lie instead. Arrays we cannot
// read in place get a TypeError (not uint8) or ValueError (shape, layout)
// that names the argument, rather than a silent copy.
#pragma once

#include <pybind11/numpy.h>

#include <string>

#include "colc/host/imaging.h"
#include "colc/records/interleaved_pels.h"

enum class ChannelOrder { bgr, rgb };

// ValueError for anything but "bgr" and "rgb".
ChannelOrder channelOrderOf(const std::string& name);

// A view of a (height, width) array; what names the argument in errors.
kcPelBuffer<unsigned char> greyView(const pybind11::handle& array, const char* what);
// A (height, width) array of 0 and 255; a bool array becomes one (True: 255).
kcPelBuffer<unsigned char> maskView(const pybind11::handle& array, const char* what);
// A colour image from a (height, width, 3) or (height, width) array.
kc3PlanePelBuffer colorImage(const pybind11::handle& array, ChannelOrder order, const char* what);

// A new (height, width, 3) array of the image's window.
pybind11::array_t<unsigned char> colorArray(const kc3PlanePelBuffer& image, ChannelOrder order);

// The pels of a (height, width, 3) or (height, width) array where they
// lie, for the corrections that read interleaved pels: a grey array's one
// value stands for all three planes.
kcInterleavedPels<const unsigned char> interleavedView(const pybind11::handle& array, ChannelOrder order,
                                                       const char* what);
// A new (height, width, 3) array, and its pels in the channel order.
std::pair<pybind11::array_t<unsigned char>, kcInterleavedPels<unsigned char>> newColorArray(long width, long height,
                                                                                           ChannelOrder order);
