// The capture formats in one include: the binary record layouts of chunk
// files and the value texts of the capture index.
#pragma once

#include "capture/CaptureIndexText.h"
#include "capture/CaptureRecord.h"
