#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kAnswer = "ok\n";
// How long a later launch keeps trying while the running instance may still be starting.
constexpr int kAskForMs = 3000;
} // namespace

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

SingleInstance::Role SingleInstance::start()
{
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(m_folder + QLatin1Char('/') + m_name + QStringLiteral(".lock"));
    // Only a lock whose process is gone is stale; age alone never is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Role::primary;
    }
    m_lock.reset();
    return askRunningInstance() ? Role::secondary : Role::unreachable;
}

void SingleInstance::listen()
{
    // A socket file left by an instance that crashed would block listening; the lock
    // says no live instance owns it.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath()))
        return;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kShowRequest) {
                    socket->write(kAnswer);
                    socket->flush();
                    emit activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::askRunningInstance() const
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kAskForMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500)) {
            socket.write(kShowRequest);
            if (socket.waitForBytesWritten(1000) && socket.waitForReadyRead(2000)
                && socket.readLine() == kAnswer)
                return true;
        }
        // The running instance may hold the lock but not listen yet.
        QThread::msleep(100);
    }
    return false;
}
