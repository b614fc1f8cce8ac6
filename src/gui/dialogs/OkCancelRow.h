// The row at the foot of a settings dialog: the default button ("OK" or the
// dialog's own word) and "キャンセル", right-aligned, accepting and rejecting
// the dialog.
#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;

namespace qv {

QHBoxLayout* OkCancelRow(QDialog* dialog, const QString& okText = "OK");

}  // namespace qv
