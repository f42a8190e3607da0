#include "host/imaging/vector_width.h"

namespace {

kcVectorWidth widestOfThisProcessor() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512vbmi"))
    return kcVectorWidth::e512;
  if (__builtin_cpu_supports("avx2")) return kcVectorWidth::e256;
  return kcVectorWidth::e128;
}

}  // namespace

kcVectorWidth kfWidestVectors() {
  static const kcVectorWidth widest = widestOfThisProcessor();
  return widest;
}
