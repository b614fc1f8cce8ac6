#include "views/PrintFont.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace qv {

QFont MonospacedJapaneseFont(int pixelHeight) {
    QFont f = QFontDatabase::families().contains("IPAGothic")
                  ? QFont("IPAGothic")
                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(std::max(1, pixelHeight));
    return f;
}

}  // namespace qv
