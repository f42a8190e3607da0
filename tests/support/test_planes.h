// Synthetic 8-bit planes for tests, and a look at what results and diagnostics hold.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "colc/host/diag.h"
#include "colc/host/imaging.h"
#include "colc/records/channel_result.h"

using PelAt = std::function<unsigned char(long x, long y)>;

// A new width x height plane, offset (0, 0), with pel (x, y) = pelAt(x, y).
kcPelBuffer<unsigned char> makePlane(long width, long height, const PelAt& pelAt);
kcPelBuffer<unsigned char> makePlane(long width, long height, unsigned char value);
// The pels of the window, row by row.
std::vector<unsigned char> pelsOf(const kcPelBuffer_const<unsigned char>& plane);
// The annotations of diag's records, in order.
std::vector<std::string> recordNames(const kcDiagObject& diag);
// Gain, offset, RMS error, the three proportions and the pel map, for exact comparison.
std::vector<double> fieldsOf(const kcColorCalibrationChannelResultInternal& result);
