#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

// A minimal HTTP/1.1 file server on 127.0.0.1 for download tests: serves `content` at
// any path, honours "Range: bytes=N-" (206, or 416 past the end), sends the body in
// small timed pieces (so that a client sees progress and can be cancelled midway), and
// can be told to break a response off or to fail.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    explicit LoopbackHttpServer(QByteArray body, QObject* parent = nullptr)
        : QObject(parent)
        , content(std::move(body))
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url(const QString& path = QStringLiteral("/ggml-test.bin")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

    QByteArray content;
    // The next response closes the connection after this many body bytes (once).
    qint64 dropAfter = -1;
    // Answer a Range request with the whole file (200).
    bool ignoreRange = false;
    // Non-zero: answer every request with this status and a short text body.
    int failWithStatus = 0;
    // The Range header of every request, empty when it had none.
    QList<QByteArray> ranges;
    qint64 pieceSize = 64 * 1024;

private:
    struct Response {
        QByteArray body;
        qint64 sent = 0;
        qint64 stopAt = -1;
    };

    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_requests[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        m_requests.remove(socket);
        QByteArray range;
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("range:"))
                range = line.mid(6).trimmed();
        }
        ranges << range;
        respond(socket, range);
    }

    void respond(QTcpSocket* socket, const QByteArray& range)
    {
        QByteArray head;
        Response response;
        qint64 start = 0;
        if (range.startsWith("bytes=") && range.endsWith('-'))
            start = range.mid(6, range.size() - 7).toLongLong();
        if (failWithStatus) {
            response.body = "failure";
            head = "HTTP/1.1 " + QByteArray::number(failWithStatus) + " Failure\r\n";
        } else if (!range.isEmpty() && !ignoreRange && start >= content.size()) {
            head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */"
                + QByteArray::number(content.size()) + "\r\n";
        } else if (!range.isEmpty() && !ignoreRange) {
            response.body = content.mid(start);
            head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(start) + '-'
                + QByteArray::number(content.size() - 1) + '/' + QByteArray::number(content.size()) + "\r\n";
        } else {
            response.body = content;
            head = "HTTP/1.1 200 OK\r\n";
        }
        head += "Content-Length: " + QByteArray::number(response.body.size())
            + "\r\nConnection: close\r\n\r\n";
        response.stopAt = dropAfter;
        dropAfter = -1;
        socket->write(head);
        send(QPointer<QTcpSocket>(socket), std::move(response));
    }

    void send(QPointer<QTcpSocket> socket, Response response)
    {
        if (!socket)
            return;
        const qint64 limit = response.stopAt >= 0 ? std::min(response.stopAt, qint64(response.body.size()))
                                                  : qint64(response.body.size());
        const qint64 piece = std::min(pieceSize, limit - response.sent);
        if (piece > 0) {
            socket->write(response.body.constData() + response.sent, piece);
            response.sent += piece;
        }
        if (response.sent >= limit) {
            socket->disconnectFromHost();
            return;
        }
        QTimer::singleShot(2, this,
            [this, socket, response = std::move(response)]() mutable { send(socket, std::move(response)); });
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};
