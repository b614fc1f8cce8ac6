// The eight capture window slots: what each open window shows (its frame
// and view, the commands' reader of its capture or its run, its display
// table, codes and last position). Plain bookkeeping; opening, closing and
// positioning the windows is the registry's.
#pragma once

#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/RecordTime.h"
#include "settings/FormatEntry.h"

namespace qv {

class CaptureReader;
class CaptureView;
class ChildFrame;
class ILiveMonitor;

struct WindowSlot {
    QPointer<ChildFrame> frame;
    CaptureView* view = nullptr;
    // The commands' reader of the window's capture (marks, jumps, search
    // starts, following); the view pages with a reader of its own.
    std::unique_ptr<CaptureReader> reader;
    std::unique_ptr<ILiveMonitor> monitor;
    std::string path;
    std::vector<FormatEntry> rows;
    int direction = 0;
    int code = 1;
    int windowId = 0;
    std::optional<DayTime> frameTime;  // where the window was last shown or reported
    uint64_t frameNumber = 0;
    bool Free() const { return frame.isNull(); }
};

class WindowSlots {
  public:
    static constexpr int kCount = 8;
    static constexpr int kNone = kCount;  // no window

    static bool Valid(int slot) { return slot >= 0 && slot < kCount; }
    WindowSlot& operator[](int i) { return m_slots[static_cast<size_t>(i)]; }
    const WindowSlot& operator[](int i) const { return m_slots[static_cast<size_t>(i)]; }
    auto begin() { return m_slots.begin(); }
    auto end() { return m_slots.end(); }
    auto begin() const { return m_slots.begin(); }
    auto end() const { return m_slots.end(); }

    // The first free slot, or -1 when eight windows are open.
    int FirstFree() const {
        for (int i = 0; i < kCount; ++i)
            if ((*this)[i].Free()) return i;
        return -1;
    }
    // The slot of the window a run goes on, or -1.
    int Live() const {
        for (int i = 0; i < kCount; ++i)
            if (!(*this)[i].Free() && (*this)[i].monitor) return i;
        return -1;
    }

  private:
    std::array<WindowSlot, kCount> m_slots;
};

}  // namespace qv
