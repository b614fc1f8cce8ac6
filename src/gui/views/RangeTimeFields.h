// The date and time fields of the save and print dialogs in terms of the
// capture's record times: a record time text shown to the second, and a
// picked date and time turned back into a range time key.
#pragma once

#include <QDateTime>
#include <string>

#include "capture/RecordTime.h"

namespace qv {

// The record time text's date and time of day, to the second; invalid for a
// text that is not a record time.
QDateTime RecordDateTime(const std::string& recordTime);
// The key of a picked date and second: its first tick, or with `wholeSecond`
// its last, so that a range ending there holds all of that second.
DayTime PickedTimeKey(const QDate& date, const QTime& time, bool wholeSecond);

}  // namespace qv
