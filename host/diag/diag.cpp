// Diagnostics records and objects.
#include <string>

#include "colc/host/diag.h"

// Unbound images are kept as they are: a computation records its inputs
// before it checks them, and recording must not turn its own refusal of a
// bad input into a different error.
void kcDiagRecord::image(const kcPelBuffer_const<unsigned char>& image, bool copyPels) {
  greyImages_.push_back(copyPels && image.isBound() ? kfPelCopy(image) : image);
}

void kcDiagRecord::image(const kc3PlanePelBuffer& image, bool copyPels) {
  if (!copyPels || !image.isBound()) {
    colorImages_.push_back(image);
    return;
  }
  kc3PlanePelBuffer copy;
  kfPelCopy(image, copy);
  colorImages_.push_back(copy);
}

namespace {
template <class Records>
auto& recordAt(Records& records, long i) {
  if (i < 0 || i >= static_cast<long>(records.size()))
    throw kcBadArgument("diagnostics record " + std::to_string(i) + " does not exist (there are " +
                        std::to_string(records.size()) + ")");
  return records[static_cast<std::size_t>(i)];
}
}  // namespace

kcDiagRecord& kcDiagObject::diagRecord(long i) { return recordAt(records_, i); }
const kcDiagRecord& kcDiagObject::diagRecord(long i) const { return recordAt(records_, i); }

void kfSMDAddImage(kcDiagObject* diag, unsigned long flags, const kcPelBuffer_const<unsigned char>& image,
                   const std::string& name) {
  if (diag == nullptr || flags == 0) return;
  kcDiagRecord& record = diag->newDiagRecord();
  record.image(image, false);
  record.recordAnnotation(name);
}
