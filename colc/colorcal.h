// Archive operators of the calibration records: one symmetric operator||
// per record that writes when the archive writes and reads when it reads.
#pragma once

#include "colc/host/persist.h"
#include "colc/records/channel_result.h"
#include "colc/records/params.h"
#include "colc/records/result.h"

kcArchive& operator||(kcArchive& ar, kcColorCalibrationParams& params);
kcArchive& operator||(kcArchive& ar, kcColorCalibrationChannelResult& result);
kcArchive& operator||(kcArchive& ar, kcColorCalibrationResult& result);
