// Wireshark on this machine, for "Wiresharkで開く": the program found on the
// PATH, or empty when it is not installed.
#pragma once

#include <QCoreApplication>
#include <QStandardPaths>
#include <QString>

namespace qv {

inline QString WiresharkProgram() {
    return QStandardPaths::findExecutable("wireshark");
}

// What a "Wiresharkで開く" button or item says when pointed at.
inline QString WiresharkToolTip(bool installed) {
    return installed ? QCoreApplication::translate("qv::Wireshark",
                                                   "範囲をpcapngにしてWiresharkで開きます")
                     : QCoreApplication::translate("qv::Wireshark",
                                                   "Wiresharkがインストールされていません");
}

}  // namespace qv
