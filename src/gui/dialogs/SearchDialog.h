// The search dialog of a capture window: one condition block from the tab
// in front (an SD or RD data string, control-line levels, or errors), a
// start position, and a search up or down the capture. The search runs on a
// worker with its own reader; the dialog polls its progress on a timer, so a
// search that walks a huge capture never floods the event loop, and the
// window keeps repainting.
#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/RecordTime.h"
#include "present/SearchWorker.h"
#include "settings/FormatEntry.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace qv {

class CodeTable;

class SearchDialog : public QDialog, private ISearchReport {
    Q_OBJECT
  public:
    // Tabs, in order.
    enum Tab { kSdTab = 0, kRdTab = 1, kLineTab = 2, kErrorTab = 3 };
    // Start positions, in the order of the list.
    enum StartChoice { kFromCurrent = 0, kFromFirst = 1, kFromLast = 2 };
    // Progress is shown this often while a search runs (ms).
    static constexpr int kProgressIntervalMs = 200;

    struct Setup {
        std::string indexPath;
        std::optional<DayTime> current;      // the calling window's record time
        std::optional<uint64_t> currentFrame;  // its frame number, when known
        int code = 1;                          // the window's display code
        int line = 0;                          // the capture's line setting
        std::vector<FormatEntry> rows;         // the capture's display format rows
    };
    // `onFound` moves the calling window to a found record.
    using FoundHandler = std::function<void(const SearchResult&)>;

    SearchDialog(const Setup& setup, const CodeTable& table, FoundHandler onFound,
                 QWidget* parent = nullptr);
    ~SearchDialog() override;

    // The condition block the current tab gives.
    SearchCondition Condition() const;
    bool Searching() const { return m_worker.Running() || m_busy; }

    // --- the controls
    QTabWidget* Tabs() const { return m_tabs; }
    QTableWidget* PatternGrid(bool sd) const { return sd ? m_sdGrid : m_rdGrid; }
    QCheckBox* LineBox(int index) const { return m_lineBoxes[index]; }  // SD, RD, RS .. ExtOUT
    QComboBox* LineLevel(int index) const { return m_lineLevels[index]; }
    QCheckBox* ErrorBox(int index) const { return m_errorBoxes[index]; }  // parity, overrun, framing
    QRadioButton* OrButton() const { return m_or; }
    QComboBox* StartList() const { return m_start; }
    QPushButton* UpButton() const { return m_up; }
    QPushButton* DownButton() const { return m_down; }
    QPushButton* CancelButton() const { return m_cancel; }
    QLabel* StatusLabel() const { return m_status; }
    // The last report that ended a search (not progress, not kEnded).
    const SearchResult& LastResult() const { return m_last; }

    // Sets cell i (0..15) of a pattern grid to a byte, or to "any" with nullopt.
    void SetPatternByte(bool sd, int i, std::optional<uint8_t> value);
    // Starts a search; false (with the message) when no condition is set.
    bool StartSearch(SearchDirection direction);
    // Stops a running search; returns once its thread has ended.
    void StopSearch();

  signals:
    // A search ended: found, not found, end of capture, error or cancelled.
    void searchEnded(int report);

  protected:
    void reject() override;

  private:
    void OnSearchReport(const SearchResult& result) override;
    void Finish(const SearchResult& result);
    void ShowProgress();
    QTableWidget* MakeGrid();
    QWidget* MakeStringTab(bool sd);
    QWidget* MakeLineTab();
    QWidget* MakeErrorTab();
    void EditCell(QTableWidget* grid, int column);
    void GridMenu(bool sd, const QPoint& pos);
    void SetButtonsEnabled(bool enabled);

    Setup m_setup;
    const CodeTable& m_table;
    FoundHandler m_onFound;
    SearchWorker m_worker;
    std::array<std::optional<uint8_t>, kPatternBytes> m_sdBytes{}, m_rdBytes{};
    std::atomic<uint64_t> m_progressFrame{0};
    std::atomic<bool> m_progressSeen{false};
    bool m_busy = false;  // a search started and its ending not yet handled
    SearchResult m_last;

    QTabWidget* m_tabs;
    QTableWidget* m_sdGrid = nullptr;
    QTableWidget* m_rdGrid = nullptr;
    std::array<QCheckBox*, 10> m_lineBoxes{};
    std::array<QComboBox*, 10> m_lineLevels{};
    std::array<QCheckBox*, 3> m_errorBoxes{};
    QRadioButton* m_and = nullptr;
    QRadioButton* m_or = nullptr;
    QComboBox* m_start;
    QPushButton* m_up;
    QPushButton* m_down;
    QPushButton* m_cancel;
    QLabel* m_status;
    QTimer* m_progressTimer;
};

}  // namespace qv
