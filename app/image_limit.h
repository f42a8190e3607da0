// The largest image colc decodes, in pels: 50 megapels unless changed (the
// command line's --max-pels). Larger images are refused from their header,
// before they cost memory.
#pragma once

unsigned long maxImagePels();
// For the rest of the process.
void setMaxImagePels(unsigned long pels);
