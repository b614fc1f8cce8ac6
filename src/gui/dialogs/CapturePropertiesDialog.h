// "プロパティ画面": the settings, times and counts of a stored capture, in two
// read-only lists ("全般" and "詳細").
#pragma once

#include <QDialog>

#include "present/CaptureProperties.h"

class QTabWidget;
class QTreeWidget;

namespace qv {

class CapturePropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CapturePropertiesDialog(const CaptureFacts& facts, QWidget* parent = nullptr);

    QTabWidget* Tabs() const { return m_tabs; }
    QTreeWidget* GeneralList() const { return m_general; }
    QTreeWidget* DetailList() const { return m_detail; }

  private:
    QTabWidget* m_tabs;
    QTreeWidget *m_general, *m_detail;
};

}  // namespace qv
