#include "colc/host/acq.h"
#include "colc/host/improc.h"

bool kcAcqImage::isConversionSupported(keImageFormat format) const {
  return isBound() && (format == eImageFormatGrey8 || format == eImageFormat3Plane8);
}

kcPelBuffer<unsigned char> kcAcqImage::getGrey8PelBuffer() const {
  if (!isBound()) throw kcBadPointer("unbound acquired image");
  kcPelBuffer<unsigned char> grey;
  kfPelRGBToI(color_, grey);
  return grey;
}
