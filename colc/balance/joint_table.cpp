#include "colc/balance/internal/joint_table.h"

namespace {

void requireBound(const kc_PelBuffer& buffer) {
  if (!buffer.isBound()) throw kcBadPointer("joint table of an unbound buffer");
}

}  // namespace

void kfRequireSameWindow(const kcPelBuffer_const<unsigned char>& a, const kcPelBuffer_const<unsigned char>& b) {
  requireBound(a);
  requireBound(b);
  if (!(a.window() == b.window())) throw kcBadArgument("joint table of windows that differ");
}
