// Turns SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C in the terminal, a closed
// terminal or a logout) into a Qt signal on the GUI thread, so the
// application can end in order: stop the run, finish the capture, release the
// unit. The handler only writes the signal number into a pipe; everything
// else happens in the event loop, where it is safe.
//
// After the first signal the default actions are back in force, so a second
// one ends a program that hangs while shutting down.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace qv {

class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    explicit SignalWatcher(QObject* parent = nullptr);
    // Puts the default actions back.
    ~SignalWatcher() override;

    // False when the pipe could not be made (the signals then keep their
    // default action).
    bool IsWatching() const { return m_notifier != nullptr; }

  signals:
    void terminationRequested(int signalNumber);

  private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qv
