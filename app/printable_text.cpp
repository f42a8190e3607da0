#include "app/printable_text.h"

#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at text[at] of a character that is
// no control, or 0.
std::size_t printableLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead >= 0x20 && lead < 0x7f) return 1;
  const std::size_t n = lead >= 0xc2 && lead <= 0xdf   ? 2
                        : lead >= 0xe0 && lead <= 0xef ? 3
                        : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                       : 0;
  if (n == 0 || at + n > text.size()) return 0;
  char32_t code = lead & (0x7f >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3f);
  }
  // Overlong forms, surrogates, beyond U+10FFFF, and the C1 controls.
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[n] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff || code < 0xa0) return 0;
  return n;
}

}  // namespace

std::string printableText(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    if (const std::size_t n = printableLength(text, at)) {
      out.append(text, at, n);
      at += n;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at++]));
      out += escaped;
    }
  }
  return out;
}
