#include "SessionEnd.h"

#include "platform/audio/RecordingStore.h"
#include "workspace/WorkspaceStore.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = { SIGTERM, SIGINT, SIGHUP };
// The recorder drains its input for 120 ms and then completes the file; a stalled audio
// server must not keep the program from ending.
constexpr int kRecordingDeadlineMs = 5000;

int g_pipe[2] = { -1, -1 };

void writeSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
} // namespace

SessionEnd::SessionEnd(WorkspaceStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_recordingDeadline.setSingleShot(true);
    m_recordingDeadline.setInterval(kRecordingDeadlineMs);
    connect(&m_recordingDeadline, &QTimer::timeout, this, &SessionEnd::finish);
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // The session may still be cancelled: the data is saved, the program goes on.
        connect(application, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { end(false); });
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        qWarning("Tandrel: no pipe for the end-of-session signals; they end the program at once");
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::signalArrived);
    struct sigaction action {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
}

SessionEnd::~SessionEnd()
{
    if (!m_notifier)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SessionEnd::signalArrived()
{
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    end(true);
}

void SessionEnd::end(bool quit)
{
    m_quit = m_quit || quit;
    if (m_ending)
        return;
    m_ending = true;
    RecordingStore* audio = m_store->audio();
    if (!audio->isRecording()) {
        finish();
        return;
    }
    // The store attaches the recording to its note when the recorder announces it (it
    // connected first); an empty recording announces nothing and says so instead.
    connect(audio, &RecordingStore::recordingFinished, this, &SessionEnd::finish);
    connect(audio, &RecordingStore::errorMessageChanged, this, &SessionEnd::finish);
    m_recordingDeadline.start();
    audio->toggle();
}

void SessionEnd::finish()
{
    if (!m_ending)
        return;
    m_recordingDeadline.stop();
    m_store->audio()->disconnect(this);
    m_store->flush();
    m_ending = false;
    if (m_quit) {
        emit quitting();
        QCoreApplication::quit();
    }
}
