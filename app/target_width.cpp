#include "app/target_width.h"

#include <string>

#include "app/exit_status.h"

void checkTargetWidth(long width) {
  if (width < kMinTargetWidth || width > kMaxTargetWidth)
    throw CommandFailure(ExitStatus::usage, "the target's width must be " + std::to_string(kMinTargetWidth) +
                                                " to " + std::to_string(kMaxTargetWidth) + " pels, not " +
                                                std::to_string(width));
}
