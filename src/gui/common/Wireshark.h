// Wireshark on this machine, for "Wiresharkで開く": the program found on the
// PATH, or empty when it is not installed.
#pragma once

#include <QStandardPaths>
#include <QString>

namespace qv {

inline QString WiresharkProgram() {
    return QStandardPaths::findExecutable("wireshark");
}

}  // namespace qv
