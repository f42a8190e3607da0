#include "app/empty_image_counting_fifo.h"

EmptyImageCountingFifo::EmptyImageCountingFifo(kcPtrHandle<kcAcqFifo> inner) : inner_(std::move(inner)) {
  if (!inner_) throw kcBadPointer("null FIFO to count empty images of");
}

kcPtrHandle<kcAcqImage> EmptyImageCountingFifo::completeAcq(const CompleteArgs& args) {
  kcPtrHandle<kcAcqImage> image = inner_->completeAcq(args);
  if (!image || !image->isBound()) ++emptyImages_;
  return image;
}
