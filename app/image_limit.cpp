#include "app/image_limit.h"

#include "host/imaging/image_file.h"

namespace {

// One limit for the one command a run of colc executes.
unsigned long limit = kDefaultMaxImagePels;

}  // namespace

unsigned long maxImagePels() { return limit; }

void setMaxImagePels(unsigned long pels) { limit = pels; }
