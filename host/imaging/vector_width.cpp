#include "host/imaging/vector_width.h"

kcVectorWidth kfWidestVectors() {
  static const kcVectorWidth widest = __builtin_cpu_supports("avx2") ? kcVectorWidth::e256 : kcVectorWidth::e128;
  return widest;
}
