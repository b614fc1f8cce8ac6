// The colours the views show for the seven view colours of "QV-ORT.conf":
// one the user chose is shown as chosen; a default one follows the desktop's
// palette, so that the rows stay readable on a dark theme and the pale
// defaults (cyan, green) are not shown as text on white.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

#include "core/ViewConf.h"

namespace qv {

QColor ShownViewColor(ViewColor c, uint32_t stored, const QPalette& palette);

}  // namespace qv
