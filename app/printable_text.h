// Text from a file, made safe for a terminal: a stored text could
// otherwise move the cursor, clear the screen or retitle the window.
#pragma once

#include <string>

// The text with every control character (C0, DEL, C1) and every byte that
// is not part of valid UTF-8 written as \xNN; other characters stay.
std::string printableText(const std::string& text);
