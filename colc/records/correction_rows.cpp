#include "colc/records/internal/correction_rows.h"

#include <algorithm>

#include "colc/records/internal/correction_vectors.h"

kcCorrectionRows::kcCorrectionRows(const kcColorCorrection& correction, kcVectorWidth width)
    : arithmetic_(correction), width_(std::min(width, kfWidestVectors())) {}

void kcCorrectionRows::operator()(const kcPelRun<const unsigned char>& in, const kcPelRun<unsigned char>& out,
                                  long n) const {
  long i = width_ == kcVectorWidth::e512   ? kfCorrectRun512(arithmetic_, in, out, n)
           : width_ == kcVectorWidth::e256 ? kfCorrectRun256(arithmetic_, in, out, n)
                                           : 0;
  for (; i < n; ++i) {
    std::array<unsigned char, 3> levels{};
    for (std::size_t k = 0; k < 3; ++k) levels[k] = in.plane[k][i * in.step];
    levels = arithmetic_.corrected(levels);
    for (std::size_t k = 0; k < 3; ++k) out.plane[k][i * out.step] = levels[k];
  }
}
