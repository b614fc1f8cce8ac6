// The core's questions and messages as message boxes with the application's
// title.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Prompt.h"

namespace qv {

inline constexpr const char* kAppTitle = "QV-ORT";

class QtPrompt : public IPrompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

  private:
    QPointer<QWidget> m_parent;
};

}  // namespace qv
