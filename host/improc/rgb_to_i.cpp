// Intensity of colour images.
#include "colc/host/improc.h"
#include "host/imaging/cv_bridge.h"

// Integer weights in thousandths make the rounding exact: adding 500 before
// dividing by 1000 is round-half-up of 0.299 R + 0.587 G + 0.114 B, with no
// floating point per pel. The weights sum to 1000, so grey stays grey.
void kfPelRGBToI(const kc3PlanePelBuffer& image, kcPelBuffer<unsigned char>& grey) {
  if (!image.isBound()) throw kcBadPointer("kfPelRGBToI: unbound colour image");
  const kcPelBuffer_const<unsigned char> r = image.plane0(), g = image.plane1(), b = image.plane2();
  cv::Mat intensity(static_cast<int>(image.height()), static_cast<int>(image.width()), CV_8UC1);
  for (int y = 0; y < intensity.rows; ++y) {
    const unsigned char* pr = r.pointToRow(r.window().top + y);
    const unsigned char* pg = g.pointToRow(g.window().top + y);
    const unsigned char* pb = b.pointToRow(b.window().top + y);
    unsigned char* out = intensity.ptr<unsigned char>(y);
    for (int x = 0; x < intensity.cols; ++x)
      out[x] = static_cast<unsigned char>((299u * pr[x] + 587u * pg[x] + 114u * pb[x] + 500u) / 1000u);
  }
  const kcPelRect& window = image.window();
  grey = kfPelBufferAt(intensity, window.left, window.top, image.clientFromImageXform());
}
