// How the core asks the user something without opening a window. The GUI
// answers with message boxes, qvtool with its --yes/--no flags and stderr,
// tests with scripted answers.
#pragma once

#include <string>

namespace qv {

class IPrompt {
  public:
    virtual ~IPrompt() = default;
    // A message with an OK button; returns when the user has seen it.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace qv
