// The capture formats in one include: the binary record layouts of chunk
// files and the value texts of the capture index.
#pragma once

#include "core/CaptureIndexText.h"
#include "core/CaptureRecord.h"
