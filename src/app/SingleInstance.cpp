#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kActionRequest = "action ";
const QByteArray kAnswer = "ok\n";
// How long the running instance waits for a caller to finish its request.
constexpr int kServeForMs = 2000;

bool socketAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, native.constData(), native.size());
    return true;
}

// Waits up to `timeoutMs` for `fd` to be ready for `events`.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd entry { fd, events, 0 };
    int ready = 0;
    do
        ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & events);
}

bool writeAll(int fd, const QByteArray& data, int timeoutMs)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + written, size_t(data.size() - written), MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, timeoutMs))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Reads one line (with its newline) within `timeoutMs`; empty when none came.
QByteArray readLine(int fd, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QByteArray line;
    char c = 0;
    while (line.size() < 64) {
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n == 1) {
            line.append(c);
            if (c == '\n')
                return line;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const qint64 left = timeoutMs - elapsed.elapsed();
            if (left <= 0 || !waitFor(fd, POLLIN, int(left)))
                return {};
        } else {
            return {};
        }
    }
    return {};
}

// The action named in `request`, or empty when it names none.
QString requestedAction(const QByteArray& request)
{
    if (!request.startsWith(kActionRequest) || !request.endsWith('\n'))
        return {};
    const QByteArray name = request.sliced(kActionRequest.size()).chopped(1);
    const bool wellFormed = !name.isEmpty()
        && std::all_of(name.begin(), name.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; });
    return wellFormed ? QString::fromLatin1(name) : QString();
}
} // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server >= 0) {
        ::close(m_server);
        ::unlink(QFile::encodeName(socketPath()).constData());
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

SingleInstance::Role SingleInstance::start(const QString& action)
{
    QDir().mkpath(m_folder);
    m_lock = ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) == 0) {
        listen();
        return Role::primary;
    }
    if (m_lock >= 0) {
        ::close(m_lock);
        m_lock = -1;
    }
    const QByteArray request = action.isEmpty() ? kShowRequest : kActionRequest + action.toLatin1() + '\n';
    return askRunningInstance(request) ? Role::secondary : Role::unreachable;
}

void SingleInstance::listen()
{
    sockaddr_un address {};
    if (!socketAddress(socketPath(), address))
        return;
    m_server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_server < 0)
        return;
    // A socket file left by an instance that crashed would block listening; the lock
    // says no live instance owns it. Only this user may connect.
    ::unlink(address.sun_path);
    const mode_t mask = ::umask(0077);
    const bool bound = ::bind(m_server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(m_server, 8) != 0) {
        ::close(m_server);
        m_server = -1;
        return;
    }
    m_listening = new QSocketNotifier(m_server, QSocketNotifier::Read, this);
    connect(m_listening, &QSocketNotifier::activated, this, &SingleInstance::accept);
}

void SingleInstance::accept()
{
    for (;;) {
        const int client = ::accept4(m_server, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0)
            return;
        serve(client);
    }
}

void SingleInstance::serve(int client)
{
    // The request is one short line; it is read as it arrives, never blocking the window.
    auto* readable = new QSocketNotifier(client, QSocketNotifier::Read, this);
    auto* expiry = new QTimer(readable);
    auto request = std::make_shared<QByteArray>();
    const auto finish = [readable, expiry, client] {
        expiry->stop();
        readable->setEnabled(false);
        readable->deleteLater();
        ::close(client);
    };
    connect(expiry, &QTimer::timeout, readable, finish);
    connect(readable, &QSocketNotifier::activated, this, [this, client, request, finish] {
        char buffer[64];
        ssize_t n = 0;
        while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0 && request->size() < 64)
            request->append(buffer, n);
        const bool ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        if (!request->contains('\n') && !ended && request->size() < 64)
            return;
        const bool shown = request->startsWith(kShowRequest);
        const QString action = requestedAction(request->left(request->indexOf('\n') + 1));
        if (shown || !action.isEmpty())
            writeAll(client, kAnswer, 500);
        finish();
        if (shown)
            emit activationRequested();
        else if (!action.isEmpty())
            emit actionRequested(action);
    });
    expiry->setSingleShot(true);
    expiry->start(kServeForMs);
}

bool SingleInstance::askRunningInstance(const QByteArray& request) const
{
    sockaddr_un address {};
    if (!socketAddress(socketPath(), address))
        return false;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < m_askForMs) {
        // Non-blocking: a running instance too busy to accept makes this try again, not hang.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        bool answered = false;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            answered = writeAll(fd, request, 1000) && readLine(fd, 2000) == kAnswer;
        ::close(fd);
        if (answered)
            return true;
        // The running instance may hold the lock but not listen yet.
        QThread::msleep(100);
    }
    return false;
}
