// Helpers shared by the desktop application's tests: captures made the way a
// user makes them (qvtool gen-stream and decode), a scripted prompt, and a
// scripted live source standing in for a monitoring run.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"
#include "capture/RecordTime.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/DeviceAccess.h"
#include "device/LiveMonitor.h"

namespace qv::test {

// The log, settings store and conf the application builds at start-up, for a
// test that stands in for it.
struct TestServices {
    Log log;
    SettingsStore store;
    ViewConf conf{log};
    DeviceAccess devices;
    AppServices services{store, conf, log, devices};
};

// A reader of its own on the capture `of` reads, for a view to page with.
inline std::unique_ptr<CaptureReader> OwnReader(TestServices& env, const CaptureReader& of) {
    auto r = std::make_unique<CaptureReader>(env.store, env.log);
    return r->Open(of.GetIndexPath()) == 0 ? std::move(r) : nullptr;
}

// The windows a registry has open.
template <class Registry>
int OpenWindowCount(const Registry& r) {
    int n = 0;
    for (int i = 0; i < Registry::kSlots; ++i) n += r.Slot(i).Free() ? 0 : 1;
    return n;
}

// A record time as the windows show it; empty for none.
inline std::string Text(const std::optional<DayTime>& when) {
    return when ? FormatRecordTimeText(*when) : std::string();
}
// The record time a frameReported signal carried.
inline std::string ReportedText(const QList<QVariant>& report) {
    return Text(report.at(1).value<DayTime>());
}

// Runs `act` on the next visible modal widget of type T, from the nested
// event loop of the code under test. A modal widget of another type that
// stays up longer than `patienceMs` is a wrong dialog: it is rejected with a
// warning naming it, so the test fails instead of hanging.
template <class T>
QTimer* WhenShown(std::function<void(T*)> act, int patienceMs = 15000) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    auto since = std::make_shared<QElapsedTimer>();
    QObject::connect(timer, &QTimer::timeout, [timer, act, since, patienceMs] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* w = qobject_cast<T*>(modal);
        if (w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(w);
            return;
        }
        if (!modal) {
            since->invalidate();
            return;
        }
        if (!since->isValid()) since->start();
        if (since->elapsed() < patienceMs) return;
        qWarning() << "unexpected modal widget" << modal->metaObject()->className() << "while waiting for"
                   << T::staticMetaObject.className();
        since->invalidate();
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
        else
            modal->close();
    });
    timer->start();
    return timer;
}

// With QVORT_SCREENSHOTS set (scripts/screenshots.sh), keeps a picture of
// `w` as the user sees it, with the open pop-up menus `popups` drawn over it
// where they stand.
inline void Keep(QWidget* w, const QString& name, const QList<QWidget*>& popups = {}) {
    const QByteArray dir = qgetenv("QVORT_SCREENSHOTS");
    if (dir.isEmpty()) return;
    if (!w->isVisible()) {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    QApplication::processEvents();
    QPixmap shot = w->grab();
    QPainter painter(&shot);
    for (QWidget* p : popups)
        if (p && p->isVisible())
            painter.drawPixmap(w->mapFromGlobal(p->mapToGlobal(QPoint(0, 0))), p->grab());
    painter.end();
    QVERIFY(shot.save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
}

// Clicks a check box where a user does, on its mark: a box that a layout
// stretches takes no click in the empty space right of its text.
inline void ClickCheckBox(QWidget* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// Runs qvtool; fails the test when it does not end with status 0.
inline bool RunQvtool(const QStringList& args) {
    QProcess p;
    p.start(QVTOOL_PATH, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "qvtool" << args << p.readAllStandardError();
        return false;
    }
    return true;
}

// Generates a stream of `events` line events and decodes it into a capture
// under `folder`; the index path, or empty on failure.
inline std::string DecodeCapture(const std::string& folder, const QString& protocol, int events,
                                 int seed = 7) {
    QDir().mkpath(QString::fromStdString(folder));
    QString stream = QString::fromStdString(folder) + "/stream.bin";
    if (!RunQvtool({"gen-stream", "--protocol", protocol, "--events", QString::number(events),
                    "--seed", QString::number(seed), "--date", "091205", "--start", "13:45:12",
                    stream}))
        return {};
    if (!RunQvtool(
            {"decode", stream, "--out", QString::fromStdString(folder), "--protocol", protocol}))
        return {};
    QDir dir(QString::fromStdString(folder));
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QString index = dir.filePath(sub + "/" + sub + ".qvr");
        if (QFile::exists(index)) return index.toStdString();
    }
    return {};
}

class ScriptedPrompt : public IPrompt {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> messages, questions;
    std::deque<bool> answers;
};

// A monitoring run played from a list: records "arrive" when the test adds
// them; the rings behave as the run's do (slot n mod 200, a pause copies the
// newest 200 oldest first).
class FakeLiveMonitor : public ILiveMonitor {
  public:
    struct Rec {
        uint8_t header, value;
        uint64_t ticks;
        uint64_t tr, sd, rd;
    };

    int startCode = 0;
    int starts = 0, pauses = 0, stops = 0, retrievals = 0;
    std::string indexPath;
    bool running = false;
    int* stopCount = nullptr;  // outlives the monitor, which the window owns
    // A stop that finishes its capture later: Finishing() until `*finishing`
    // (which outlives the monitor) turns false.
    bool* finishing = nullptr;
    uint64_t overflows = 0, gapTicks = 0;

    void AddRecords(int n) {
        for (int i = 0; i < n; ++i) {
            uint64_t k = all.size();
            RecordKind kind = k % 3 == 0   ? RecordKind::kSdData
                              : k % 3 == 1 ? RecordKind::kRdData
                                           : RecordKind::kLineChange;
            Rec r{MakeHeader(kind), static_cast<uint8_t>(k & 0xFF), 1000 * (k + 1), k + 1, 0, 0};
            for (const auto& p : all) {
                if (HeaderKind(p.header) == RecordKind::kSdData) ++r.sd;
                if (HeaderKind(p.header) == RecordKind::kRdData) ++r.rd;
            }
            if (kind == RecordKind::kSdData) ++r.sd;
            if (kind == RecordKind::kRdData) ++r.rd;
            all.push_back(r);
        }
    }

    int Start() override {
        ++starts;
        if (startCode == 0) running = true;
        return startCode;
    }
    int StartRetrieval() {
        ++retrievals;
        if (startCode == 0) running = true;
        return startCode;
    }
    int Pause() override {
        ++pauses;
        frozenTotal = all.size();
        return 0;
    }
    int Stop() override {
        ++stops;
        if (stopCount) ++*stopCount;
        running = false;
        return 0;
    }
    uint64_t GetRecordTotal(bool frozen) const override {
        return frozen ? frozenTotal : all.size();
    }
    uint64_t GetCounterTotal(int field) const override {
        uint64_t n = 0;
        for (const auto& r : all)
            n += (field == 3 && HeaderKind(r.header) == RecordKind::kSdData) ||
                 (field == 4 && HeaderKind(r.header) == RecordKind::kRdData);
        return n;
    }
    bool IsBufferFull() const override { return overflows > 0; }
    int BeginStop() override {
        Stop();
        if (finishing) *finishing = true;
        return 0;
    }
    bool Finishing() const override { return finishing && *finishing; }
    double FinishedFraction() const override { return 0.25; }
    uint64_t GetOverflows() const override { return overflows; }
    uint64_t GetGapTicks() const override { return gapTicks; }
    int LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const override {
        out.clear();
        if (first < 0 || first >= kLiveRingSlots) return -8;
        // The newest 200 of the records so far (or at the pause), oldest first.
        const uint64_t total = frozen ? frozenTotal : all.size();
        const uint64_t oldest = total > 200 ? total - 200 : 0;
        for (uint64_t n = oldest + first; n < total && out.size() < static_cast<size_t>(count);
             ++n) {
            const Rec& r = all[n];
            LiveRow row;
            row.header = r.header;
            row.value = r.value;
            row.time = DayTime{91205, 13 * 360000000000ull + r.ticks};
            row.tr = r.tr;
            row.sd = r.sd;
            row.rd = r.rd;
            out.push_back(row);
        }
        return 0;
    }
    int GetCaptureName(std::string& name) const override {
        name = "20091205134512.qvr";
        return 0;
    }
    std::string GetIndexPath() const override { return indexPath; }
    bool GetRunStatus(StatusSet& out) const override {
        if (starts == 0) return false;
        out = runStatus;
        return true;
    }
    StatusSet runStatus;  // what the scripted run "loaded"

    std::vector<Rec> all;
    uint64_t frozenTotal = 0;
};

}  // namespace qv::test
