// The monospaced Japanese font of the print listing and of the texts laid out
// in columns (trigger settings): IPAGothic, whose half-width letters are
// exactly half as wide as its full-width ones, so columns stay aligned.
#pragma once

#include <QFont>

namespace qv {

// At this pixel height; falls back to the system's fixed-pitch font when
// IPAGothic is not installed.
QFont MonospacedJapaneseFont(int pixelHeight);

}  // namespace qv
