// Numbers in messages, compactly: six significant digits and an exponent
// where one is shorter ("0.03", "1e+308", "nan"), never the hundreds of
// digits a huge double has in fixed notation.
#pragma once

#include <string>

std::string kfNumberText(double value);
