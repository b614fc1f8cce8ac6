// The commands of the menus, the tool bar and the views, as carried out on
// the window registry's windows: what the enabling rules see of them (the
// command context) and one handler per command. Opening, closing and
// positioning windows stays the registry's; this says what each command
// does with them.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>

#include "app/CommandTable.h"
#include "app/WindowSlots.h"

namespace qv {

class CaptureCommands;
class WindowRegistry;

class WindowCommands {
  public:
    explicit WindowCommands(WindowRegistry& windows);
    ~WindowCommands();

    CommandContext Context() const;
    // The handler of command `id`; it ends by signalling the registry's
    // stateChanged. A command without one does nothing.
    std::function<void()> Handler(int id);

  private:
    // The current window's slot; null without one.
    WindowSlot* Current() const;
    void Build();
    void SetCode(int code);
    void SetDirection(int direction);
    // A Dump window on the current window's capture, at the last time shown.
    void OpenDumpWindow();
    void PickColor(int id);
    void MoveCurrentTo(bool last);

    WindowRegistry& m_windows;
    std::unique_ptr<CaptureCommands> m_capture;
    std::unordered_map<int, std::function<void()>> m_handlers;
};

}  // namespace qv
