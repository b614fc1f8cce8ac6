#include "app/SignalWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace qv {

namespace {

constexpr int kWatched[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe lives as long as the process: a signal may arrive while a watcher
// is being destroyed, and the handler must never write to a closed or reused
// descriptor.
int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int signalNumber) {
    // Only async-signal-safe calls here: write() keeps errno, which the
    // interrupted code may be about to read.
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signalNumber);
    ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

void SetHandlers(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    // Restarted system calls: the GUI thread's poll and file writes must not
    // fail with EINTR because of us.
    sa.sa_flags = SA_RESTART;
    for (int s : kWatched)
        sigaction(s, &sa, nullptr);
}

}  // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    // Drop a byte left over from a signal an earlier watcher did not see.
    unsigned char stale[16];
    while (::read(g_pipe[0], stale, sizeof stale) > 0) {
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::OnReadable);
    SetHandlers(OnSignal);
}

SignalWatcher::~SignalWatcher() {
    if (m_notifier) SetHandlers(SIG_DFL);
}

void SignalWatcher::OnReadable() {
    unsigned char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1) return;
    // A second signal now takes its default action.
    SetHandlers(SIG_DFL);
    m_notifier->setEnabled(false);
    emit terminationRequested(byte);
}

}  // namespace qv
