#include "host/runtime/number_text.h"

#include <cstdio>

std::string kfNumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}
