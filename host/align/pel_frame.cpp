#include "host/align/pel_frame.h"

kcXform<2> kfClientFromMatXform(const kc_PelBuffer& buffer) {
  const kcPelRect& w = buffer.window();
  const kcXform<2> imageFromMat(kcMatrix<2>(), kcVector<2>(w.left + 0.5, w.top + 0.5));
  return buffer.clientFromImageXform() * imageFromMat;
}

cv::Matx23d kfToCv(const kcXform<2>& xform) {
  const kcMatrix<2>& m = xform.matrix();
  return {m.element(0, 0), m.element(0, 1), xform.trans().x(), m.element(1, 0), m.element(1, 1), xform.trans().y()};
}

kcXform<2> kfFromCv(const cv::Matx23d& m) {
  return {kcMatrix<2>(m(0, 0), m(0, 1), m(1, 0), m(1, 1)), kcVector<2>(m(0, 2), m(1, 2))};
}
