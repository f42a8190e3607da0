// colc: colour calibration of machine-vision cameras. The whole public API.
#pragma once

#include "colc/balance/balance.h"
#include "colc/colorcal.h"
#include "colc/driver/acquisition.h"
#include "colc/host/acq.h"
#include "colc/host/acquire_info.h"
#include "colc/host/camera_settings.h"
#include "colc/host/diag.h"
#include "colc/host/handle.h"
#include "colc/host/imaging.h"
#include "colc/host/runtime.h"
#include "colc/records/channel_result.h"
#include "colc/records/errors.h"
#include "colc/records/params.h"
#include "colc/records/result.h"
#include "colc/tool/measurement.h"
#include "colc/tool/pose.h"
